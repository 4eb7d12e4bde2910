#include "bench.h"
#include "settings/settings.h"

static void Parse(const char *path) { ReadSettingsFile(path); }

int main(int argc, char **argv) { return RunBench(argc, argv, Parse); }
