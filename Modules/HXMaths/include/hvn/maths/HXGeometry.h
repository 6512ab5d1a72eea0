#pragma once

namespace hvn::maths {

// A point with double coordinates.
struct HXPoint2F {
    double x = 0.0;
    double y = 0.0;
    HXPoint2F() = default;
    HXPoint2F(double px, double py) : x(px), y(py) {}
    double X() const { return x; }
    double Y() const { return y; }
    bool operator==(const HXPoint2F&) const = default;
};

// A point with integer coordinates.
struct HXPoint2 {
    int x = 0;
    int y = 0;
    HXPoint2() = default;
    HXPoint2(int px, int py) : x(px), y(py) {}
    int X() const { return x; }
    int Y() const { return y; }
    bool operator==(const HXPoint2&) const = default;
};

// A quadrilateral: corners top-left, top-right, bottom-right, bottom-left.
struct HXQuadF {
    HXPoint2F topLeft, topRight, bottomRight, bottomLeft;
    HXQuadF() = default;
    HXQuadF(const HXPoint2F& tl, const HXPoint2F& tr, const HXPoint2F& br, const HXPoint2F& bl)
        : topLeft(tl), topRight(tr), bottomRight(br), bottomLeft(bl) {}
    const HXPoint2F& TopLeft() const { return topLeft; }
    const HXPoint2F& TopRight() const { return topRight; }
    const HXPoint2F& BottomRight() const { return bottomRight; }
    const HXPoint2F& BottomLeft() const { return bottomLeft; }
    // All four corners exactly at the origin.
    bool IsNull() const;
    bool operator==(const HXQuadF&) const = default;
};

struct HXQuad {
    HXPoint2 topLeft, topRight, bottomRight, bottomLeft;
    HXQuad() = default;
    HXQuad(const HXPoint2& tl, const HXPoint2& tr, const HXPoint2& br, const HXPoint2& bl)
        : topLeft(tl), topRight(tr), bottomRight(br), bottomLeft(bl) {}
    const HXPoint2& TopLeft() const { return topLeft; }
    const HXPoint2& TopRight() const { return topRight; }
    const HXPoint2& BottomRight() const { return bottomRight; }
    const HXPoint2& BottomLeft() const { return bottomLeft; }
    bool operator==(const HXQuad&) const = default;
};

// A half-open integer rectangle: left/top inclusive, right/bottom exclusive.
struct HXRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    HXRect() = default;
    HXRect(const HXPoint2& topLeftCorner, const HXPoint2& bottomRightExclusive)
        : left(topLeftCorner.x), top(topLeftCorner.y), right(bottomRightExclusive.x), bottom(bottomRightExclusive.y) {}
    HXRect(int l, int t, int r, int b) : left(l), top(t), right(r), bottom(b) {}
    int Left() const { return left; }
    int Top() const { return top; }
    int Right() const { return right; }
    int Bottom() const { return bottom; }
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    // This rectangle limited to [0, width) x [0, height).
    HXRect Clipped(int width, int height) const;
    bool operator==(const HXRect&) const = default;
};

} // namespace hvn::maths
