// Prints where the search path finds a file, so that a test can check it from
// an installed layout.

#include "platform/SearchPath.h"

#include <cstdio>

int main(int argc, char** argv) {
    char found[300];
    if (argc != 2 || !vobrik::SearchPath(argv[1], found, sizeof found))
        return 1;
    std::puts(found);
    return 0;
}
