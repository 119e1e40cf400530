// Where the icon goes in a band window of a given client size.
#pragma once

constexpr int kMaxIconSide = 32;

struct IconSquare {
    int side;
    int x;
    int y;
};

IconSquare ComputeIconSquare(int width, int height);
