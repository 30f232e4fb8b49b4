// Stays running until its standard input ends or it is killed, so that tests
// have a process of a known executable to look for.
#include <cstdio>

int main() {
    while (std::getchar() != EOF) {
    }
    return 0;
}
