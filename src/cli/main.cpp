#include <cstdio>

int main() {
    std::fputs("usage: quorvcli DOCUMENT(.doc|.docx|.pdf)\n", stderr);
    return 2;
}
