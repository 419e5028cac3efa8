#pragma once
// A place in the line store: a display line and an item on it. Item 0 of a
// line is its line-start marker and is never a search candidate; item -1
// means "no current item" (a search that has not found anything yet).
struct FindPosition {
    int line = 0;
    int item = -1;
    friend bool operator==(const FindPosition&, const FindPosition&) = default;
};
