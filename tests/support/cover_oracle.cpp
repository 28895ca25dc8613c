// SPDX-License-Identifier: MIT
#include "cover_oracle.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>

namespace oracle {
namespace {

__extension__ typedef __int128 Int; // products of two 58-bit differences

// Coordinates are read as whole multiples of this power of two.
constexpr int kFractionBits = 47;
constexpr double kLimit = 1024;

Int scaled(double value) {
    const double units = std::ldexp(value, kFractionBits);
    if (!(-kLimit < value && value < kLimit) || units != std::floor(units)) {
        throw std::domain_error("coordinate outside the exact range of the segment oracle");
    }
    return static_cast<Int>(static_cast<std::int64_t>(units));
}

// A bound on the segment's parameter t, num / den with den > 0, open or closed.
struct Bound {
    Int num;
    Int den;
    bool open;
};

// -1, 0 or 1 as a / b is below, at or above c / d (b, d > 0).
int compare(const Bound& a, const Bound& b) {
    const Int left = a.num * b.den;
    const Int right = b.num * a.den;
    return (left > right) - (left < right);
}

enum class Relation { Greater, AtLeast, Less, AtMost };

// The interval of t still possible, narrowed by one linear condition at a time.
class Interval {
public:
    // Keeps the t with  coefficient * t  (relation)  rhs.
    void keep(Int coefficient, Relation relation, Int rhs) {
        if (coefficient == 0) {
            const bool holds = relation == Relation::Greater   ? 0 > rhs
                               : relation == Relation::AtLeast ? 0 >= rhs
                               : relation == Relation::Less    ? 0 < rhs
                                                               : 0 <= rhs;
            m_empty = m_empty || !holds;
            return;
        }
        if (coefficient < 0) {
            coefficient = -coefficient;
            rhs = -rhs;
            relation = relation == Relation::Greater   ? Relation::Less
                       : relation == Relation::AtLeast ? Relation::AtMost
                       : relation == Relation::Less    ? Relation::Greater
                                                       : Relation::AtLeast;
        }
        const bool open = relation == Relation::Greater || relation == Relation::Less;
        const Bound bound{rhs, coefficient, open};
        if (relation == Relation::Greater || relation == Relation::AtLeast) {
            const int c = compare(bound, m_low);
            if (c > 0 || (c == 0 && open)) {
                m_low = bound;
            }
        } else {
            const int c = compare(bound, m_high);
            if (c < 0 || (c == 0 && open)) {
                m_high = bound;
            }
        }
    }

    bool empty() const {
        const int c = compare(m_low, m_high);
        return m_empty || c > 0 || (c == 0 && (m_low.open || m_high.open));
    }

private:
    Bound m_low{0, 1, false};
    Bound m_high{1, 1, false};
    bool m_empty = false;
};

using Ring = std::vector<Vertex>;

// One step of Sutherland-Hodgman: the ring cut by the half-plane where
// inside(vertex) holds, with the points where edges leave or enter it.
template <class Inside, class Cut> Ring clip(const Ring& ring, Inside inside, Cut cut) {
    Ring result;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        const Vertex& current = ring[i];
        const Vertex& previous = ring[(i + ring.size() - 1) % ring.size()];
        if (inside(current)) {
            if (!inside(previous)) {
                result.push_back(cut(previous, current));
            }
            result.push_back(current);
        } else if (inside(previous)) {
            result.push_back(cut(previous, current));
        }
    }
    return result;
}

long double area(const Ring& ring) {
    long double twice = 0;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        const Vertex& a = ring[i];
        const Vertex& b = ring[(i + 1) % ring.size()];
        twice += static_cast<long double>(a.longitude) * b.latitude -
                 static_cast<long double>(b.longitude) * a.latitude;
    }
    return std::abs(twice) / 2;
}

long double clippedArea(Ring ring, const Extent& cell) {
    const auto atLongitude = [](double longitude) {
        return [longitude](const Vertex& a, const Vertex& b) {
            const long double t = (static_cast<long double>(longitude) - a.longitude) /
                                  (static_cast<long double>(b.longitude) - a.longitude);
            return Vertex{static_cast<double>(a.latitude + t * (b.latitude - a.latitude)),
                          longitude};
        };
    };
    const auto atLatitude = [](double latitude) {
        return [latitude](const Vertex& a, const Vertex& b) {
            const long double t = (static_cast<long double>(latitude) - a.latitude) /
                                  (static_cast<long double>(b.latitude) - a.latitude);
            return Vertex{latitude,
                          static_cast<double>(a.longitude + t * (b.longitude - a.longitude))};
        };
    };
    ring = clip(
        ring, [&](const Vertex& v) { return v.longitude >= cell.west; }, atLongitude(cell.west));
    ring = clip(
        ring, [&](const Vertex& v) { return v.longitude <= cell.east; }, atLongitude(cell.east));
    ring = clip(
        ring, [&](const Vertex& v) { return v.latitude >= cell.south; }, atLatitude(cell.south));
    ring = clip(
        ring, [&](const Vertex& v) { return v.latitude <= cell.north; }, atLatitude(cell.north));
    return area(ring);
}

} // namespace

bool segmentMeetsCell(Vertex a, Vertex b, const Extent& cell) {
    const Int ax = scaled(a.longitude);
    const Int ay = scaled(a.latitude);
    const Int dx = scaled(b.longitude) - ax;
    const Int dy = scaled(b.latitude) - ay;
    // The point at t is (ax + t dx, ay + t dy), t in [0, 1].
    Interval t;
    t.keep(dx, Relation::Greater, scaled(cell.west) - ax);
    t.keep(dx, Relation::AtMost, scaled(cell.east) - ax);
    t.keep(dy, Relation::AtLeast, scaled(cell.south) - ay);
    t.keep(dy, Relation::Less, scaled(cell.north) - ay);
    return !t.empty();
}

long double sharedArea(const std::vector<std::vector<Vertex>>& rings, const Extent& cell) {
    long double shared = 0;
    for (std::size_t i = 0; i < rings.size(); ++i) {
        const long double part = clippedArea(rings[i], cell);
        shared += i == 0 ? part : -part;
    }
    return shared;
}

std::vector<std::string> cellsNear(double south, double north, double west, double east,
                                   Scale scale) {
    // Steps of the finest cells: NTS sheets are multiples of 30' x 15', BCGS cells of
    // 1'30" x 45", within 48° to 60° N and 112° to 144° W.
    const bool bcgs = scale != Scale::Series && scale != Scale::MapArea && scale != Scale::Sheet;
    const double rowStep = bcgs ? 1.0 / 80 : 0.25;
    const double columnStep = bcgs ? 1.0 / 40 : 0.5;
    std::vector<std::string> found;
    const double firstRow = std::floor(std::max(south, bcgs ? 47.0 : 39.0) / rowStep) - 1;
    const double lastRow = std::ceil(std::min(north, bcgs ? 61.0 : 89.0) / rowStep) + 1;
    const double firstColumn = std::floor(std::max(west, -145.0) / columnStep) - 1;
    const double lastColumn = std::ceil(std::min(east, bcgs ? -111.0 : -47.0) / columnStep) + 1;
    for (double row = firstRow; row <= lastRow; ++row) {
        for (double column = firstColumn; column <= lastColumn; ++column) {
            const std::string text =
                oracleReference((row + 0.5) * rowStep, (column + 0.5) * columnStep, scale);
            if (!text.empty()) {
                found.push_back(text);
            }
        }
    }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    return found;
}

} // namespace oracle
