#pragma once
// Stream sample groups ("!", five characters, CR) read in place, so that a line of many groups is
// walked once rather than copied once per group.
#include <QByteArray>

// The complete groups of st from position from on: as if the seven characters from each first
// "!" were cut out in turn while more than six characters and a "!" are left.
int CountGroups(const QByteArray& st, qsizetype from = 0);

// Reads the group at the first "!" at or after from and moves from past it (seven characters on,
// or to the end of st); nGroup tells whether it is a count ("N" after the "!"). value is its
// number; false when the group does not end in CR or holds no number, or when no "!" is left.
bool ExtractGroup(const QByteArray& st, qsizetype& from, int& value, bool& nGroup);
