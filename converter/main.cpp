// joint2si: converts the forces and moments of joint attribute files to SI units.
#include "rewrite.h"

int main(int argc, char **argv) {
    return run_converter(argc, argv);
}
