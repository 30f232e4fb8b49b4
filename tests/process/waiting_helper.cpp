// Runs until its standard input ends: a process of a known executable to look for.
#include <cstdio>

int main() {
    while (std::getchar() != EOF) {
    }
    return 0;
}
