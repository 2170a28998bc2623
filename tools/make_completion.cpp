// Writes halvane-render's bash completion to the file named (at build time).
#include <fstream>
#include <iostream>

#include "bash_completion.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: halvane-render-completion FILE\n";
        return 2;
    }
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out << render::BashCompletionScript();
    out.close();
    if (!out) {
        std::cerr << "halvane-render-completion: cannot write " << argv[1] << '\n';
        return 1;
    }
    return 0;
}
