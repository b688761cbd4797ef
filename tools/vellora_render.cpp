// vellora-render: renders one picture (or, later, the whole sequence) of a
// morphing project without the window.
#include <cstdio>

int main() {
    std::fputs("vellora-render: not built yet\n", stderr);
    return 2;
}
