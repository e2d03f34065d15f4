#include "store/libpq.h"

#include <dlfcn.h>

namespace corvane {

const Libpq& pq() {
    static const Libpq libpq = [] {
        Libpq l;
        void* h = ::dlopen("libpq.so.5", RTLD_NOW | RTLD_LOCAL);
        if (h == nullptr) return l;
        bool todas = true;
#define CORVANE_CARGAR(f)                                                                          \
    l.f = reinterpret_cast<decltype(&::f)>(::dlsym(h, #f));                                        \
    todas = todas && l.f != nullptr;
        CORVANE_FUNCIONES_PQ(CORVANE_CARGAR)
#undef CORVANE_CARGAR
        l.cargada = todas;
        return l;
    }();
    return libpq;
}

} // namespace corvane
