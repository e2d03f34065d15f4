// The windows as a module of their own (corvane-ventanas.so beside the
// program), loaded only when the windows open: the modes without windows start
// without Qt's widgets, graphics and multimedia, whose loading is most of the
// program's start.

#include "app/entrada_ventanas.h"

#include "app/modo_ventanas.h"

extern "C" __attribute__((visibility("default"))) int
corvane_modo_ventanas(int* argc, char** argv, const corvane::Opciones* o) {
    return corvane::modo_ventanas(*argc, argv, *o);
}
