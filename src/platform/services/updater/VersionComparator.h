#pragma once

#include <QString>

namespace hourloom {

// Orders version texts the way update frameworks do, so a feed written for them means the same
// here. A version is read as runs of digits, letters and separators, up to a "-" (whatever
// follows it, such as a build suffix, does not count). Runs compare in turn: numbers by value,
// letters by their characters, and a number ranks above letters ("1.0.1" > "1.0b"). When one
// version runs out, trailing zeros in the other do not count ("1.0" == "1.0.0"); letters next
// make the other older ("1.0" > "1.0b1"), anything else newer ("1.0.1" > "1.0").
class VersionComparator {
public:
    // Negative when a is older than b, zero when they are the same version, positive when newer.
    static int compare(const QString &a, const QString &b);
};

} // namespace hourloom
