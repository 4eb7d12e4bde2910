#include "bench.h"

#include <ini.h>
#include <string.h>
#include <strings.h>

namespace {

struct Fields {
    bool present[4];
    char text[4][512];
};

const char *const KEYS[8] = {"TIMELIMIT", "TIME", "RANGEMIN",   "MIN",
                             "RANGEMAX",  "MAX",  "OPERATIONS", "OPS"};

// The work our reader does for a line, over what inih has already split and trimmed:
// match the key against the long and short keys ignoring case, and copy the value, cut
// to 511 bytes, into its field's 512-byte buffer.
int Handler(void *user, const char *, const char *name, const char *value) {
    Fields &fields = *static_cast<Fields *>(user);
    for (int k = 0; k < 8; ++k) {
        if (strcasecmp(name, KEYS[k]) != 0) continue;
        size_t length = strnlen(value, 511);
        memcpy(fields.text[k / 2], value, length);
        fields.text[k / 2][length] = '\0';
        fields.present[k / 2] = true;
        break;
    }
    return 1;
}

void Parse(const char *path) {
    Fields fields{};
    ini_parse(path, Handler, &fields);
}

} // namespace

int main(int argc, char **argv) { return RunBench(argc, argv, Parse); }
