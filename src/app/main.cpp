#include "core/entry.h"

int main(int argc, char** argv) {
    return kestrelMain(argc, argv);
}
