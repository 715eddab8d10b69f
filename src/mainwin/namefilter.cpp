#include "mainwin/namefilter.h"

namespace quorv {

bool filenameLike(const QString& filey, const QString& pattern) {
    const QString s = filey.toCaseFolded();
    const QString p = pattern.toCaseFolded();
    // Greedy match with backtracking to the last "%": linear for the usual one-wildcard
    // patterns, never exponential.
    qsizetype si = 0, pi = 0, starP = -1, starS = 0;
    while (si < s.size()) {
        if (pi < p.size() && p[pi] == QLatin1Char('%')) {
            starP = pi++;
            starS = si;
        } else if (pi < p.size() && p[pi] == s[si]) {
            ++pi;
            ++si;
        } else if (starP >= 0) {
            pi = starP + 1;
            si = ++starS;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == QLatin1Char('%')) ++pi;
    return pi == p.size();
}

QString nameFilterPattern(const QString& text) {
    return QLatin1Char('%') + text + QLatin1Char('%');
}

}  // namespace quorv
