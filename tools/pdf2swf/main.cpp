#include <cstdio>

int main() {
    std::fputs(
        "usage: quorv-pdf2swf INPUT.pdf -o OUTPUT.swf -s flashversion=N [-s languagedir=DIR]\n",
        stderr);
    return 2;
}
