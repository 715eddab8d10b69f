#pragma once

#include <QString>

namespace quorv {

// The list's name filter "filey like '%text%'": "%" stands for any run of characters,
// every other character (quotes included) for itself, letters without regard to case.
bool filenameLike(const QString& filey, const QString& pattern);

// The pattern the name filter builds from the user's text: "%" + text + "%".
QString nameFilterPattern(const QString& text);

}  // namespace quorv
