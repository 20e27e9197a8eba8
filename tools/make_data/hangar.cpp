// hangar.cpp — builds the hangar (an arched hall with a door in each end wall) as one closed,
// outward-facing triangle mesh and writes it in the viewer's model format.
//
// The hall stands on z = 0 with its footprint from the origin to (width, depth); the arch runs
// along y. Its cross-section (in x-z) is a ring: low base walls, then a half-elliptic roof, three
// units thick. The end walls are three-unit blocks filling the arch, each with a door cut from
// the ground up. Everything is one watertight solid, so from outside and from inside the hall
// (through the doors) back-face culling leaves exactly the faces one should see.
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "make_data.h"

namespace {

constexpr double hallWidth = 200;
constexpr double hallDepth = 250;
constexpr double baseHeight = 12;
constexpr double roofRise = 88;  // base plus rise: the hall is 100 high
constexpr double thickness = 3;
constexpr double doorLeft = 50, doorRight = 150, doorHeight = 65;
constexpr int arcSegments = 12;
constexpr int hallSegments = 3;  // the long faces are split so vertex lighting varies along them

struct Point2 {
    double x, z;
};

using Polygon2 = std::vector<Point2>;

struct Mesh {
    std::vector<Triangle3> triangles;

    void triangle(Point3 a, Point3 b, Point3 c) { triangles.push_back({{a, b, c}}); }
    // a, b, c, d counter-clockwise seen from outside.
    void quad(Point3 a, Point3 b, Point3 c, Point3 d) {
        triangle(a, b, c);
        triangle(a, c, d);
    }
};

Point3 at(Point2 p, double y) {
    return {p.x, y, p.z};
}

// The arch's sample angles, from the left (pi) over the top to the right (0). The two samples
// nearest the door's sides are moved onto them, so the door's edges meet the wall's columns.
std::vector<double> arcAngles() {
    const double pi = std::acos(-1.0);
    const double halfInner = hallWidth / 2 - thickness;
    double doorAngles[2] = {std::acos((doorLeft - hallWidth / 2) / halfInner),
                            std::acos((doorRight - hallWidth / 2) / halfInner)};
    std::vector<double> angles;
    for (int i = 0; i <= arcSegments; ++i) angles.push_back(pi - pi * i / arcSegments);
    for (double door : doorAngles) {
        size_t nearest = 1;
        for (size_t i = 1; i + 1 < angles.size(); ++i)
            if (std::fabs(angles[i] - door) < std::fabs(angles[nearest] - door)) nearest = i;
        angles[nearest] = door;
    }
    return angles;
}

// Points on the inner or outer arch; the door samples get their x exactly.
Polygon2 archPoints(const std::vector<double>& angles, double inset) {
    double half = hallWidth / 2 - inset, rise = roofRise - inset;
    Polygon2 points;
    for (double a : angles) {
        double x = hallWidth / 2 + half * std::cos(a);
        if (std::fabs(x - doorLeft) < 1e-6) x = doorLeft;
        if (std::fabs(x - doorRight) < 1e-6) x = doorRight;
        points.push_back({x, baseHeight + rise * std::sin(a)});
    }
    points.front().z = points.back().z = baseHeight;
    return points;
}

bool inDoor(double x0, double x1) {
    return x0 >= doorLeft && x1 <= doorRight;
}

// The ring cross-section of the roof and base walls, counter-clockwise in x-z.
Polygon2 ringProfile(const Polygon2& inner, const Polygon2& outer) {
    Polygon2 ring = {{0, 0}, {thickness, 0}};
    ring.insert(ring.end(), inner.begin(), inner.end());
    ring.push_back({hallWidth - thickness, 0});
    ring.push_back({hallWidth, 0});
    ring.insert(ring.end(), outer.rbegin(), outer.rend());
    return ring;
}

// The end wall's outline with its door, counter-clockwise in x-z. The ground line and the
// lintel carry a vertex below every arch sample, where the wall's columns meet them.
Polygon2 endWallOutline(const Polygon2& inner, const Polygon2& outer) {
    Polygon2 outline = {{0, 0}};
    for (size_t i = 0; i + 1 < inner.size(); ++i) {
        double x = inner[i].x;
        bool door = inDoor(x, inner[i + 1].x);
        bool doorBefore = i > 0 && inDoor(inner[i - 1].x, x);
        if (door && !doorBefore) {  // the left jamb, going up
            outline.push_back({x, 0});
            outline.push_back({x, doorHeight});
        } else if (!door && doorBefore) {  // the right jamb, going down
            outline.push_back({x, doorHeight});
            outline.push_back({x, 0});
        } else {
            outline.push_back({x, door ? doorHeight : 0});
        }
    }
    outline.push_back({inner.back().x, 0});
    outline.push_back({hallWidth, 0});
    outline.insert(outline.end(), outer.rbegin(), outer.rend());
    return outline;
}

// Faces in a plane y = const, from triangles counter-clockwise in x-z (which face -y).
void addPlanar(Mesh& mesh, const std::vector<Triangle3>& flat, double y, bool facesPlusY) {
    for (const Triangle3& t : flat) {
        Point3 a = {t.corners[0].x, y, t.corners[0].z};
        Point3 b = {t.corners[1].x, y, t.corners[1].z};
        Point3 c = {t.corners[2].x, y, t.corners[2].z};
        if (facesPlusY)
            mesh.triangle(a, c, b);
        else
            mesh.triangle(a, b, c);
    }
}

void flatTriangle(std::vector<Triangle3>& out, Point2 a, Point2 b, Point2 c) {
    out.push_back({{{a.x, 0, a.z}, {b.x, 0, b.z}, {c.x, 0, c.z}}});
}

// The inside of the end wall, one column per arch segment from the ground or the lintel up to
// the arch. A column beside the door has the lintel's corner on one side; it is fanned from the
// opposite side so that no triangle is degenerate.
std::vector<Triangle3> wallColumns(const Polygon2& inner) {
    std::vector<Triangle3> out;
    for (size_t i = 0; i + 1 < inner.size(); ++i) {
        double x0 = inner[i].x, x1 = inner[i + 1].x;
        double bottom = inDoor(x0, x1) ? doorHeight : 0;
        Point2 bl = {x0, bottom}, br = {x1, bottom}, tr = inner[i + 1], tl = inner[i];
        if (bottom == 0 && x1 == doorLeft) {
            Point2 corner = {x1, doorHeight};
            flatTriangle(out, bl, br, corner);
            flatTriangle(out, bl, corner, tr);
            flatTriangle(out, bl, tr, tl);
        } else if (bottom == 0 && x0 == doorRight) {
            Point2 corner = {x0, doorHeight};
            flatTriangle(out, br, tr, tl);
            flatTriangle(out, br, tl, corner);
            flatTriangle(out, br, corner, bl);
        } else {
            flatTriangle(out, bl, br, tr);
            flatTriangle(out, bl, tr, tl);
        }
    }
    return out;
}

// The ring between the outer and the inner arch, as seen on the outer face of an end wall.
std::vector<Triangle3> ringFace(const Polygon2& inner, const Polygon2& outer) {
    Polygon2 innerChain = {{thickness, 0}};
    innerChain.insert(innerChain.end(), inner.begin(), inner.end());
    innerChain.push_back({hallWidth - thickness, 0});
    Polygon2 outerChain = {{0, 0}};
    outerChain.insert(outerChain.end(), outer.begin(), outer.end());
    outerChain.push_back({hallWidth, 0});
    std::vector<Triangle3> out;
    for (size_t i = 0; i + 1 < innerChain.size(); ++i) {
        flatTriangle(out, outerChain[i], innerChain[i], innerChain[i + 1]);
        flatTriangle(out, outerChain[i], innerChain[i + 1], outerChain[i + 1]);
    }
    return out;
}

// The sides swept by a counter-clockwise outline moved along y: each faces away from the outline.
void sweep(Mesh& mesh, const Polygon2& outline, const std::vector<double>& ys) {
    for (size_t s = 0; s + 1 < ys.size(); ++s)
        for (size_t i = 0; i < outline.size(); ++i) {
            Point2 p = outline[i], q = outline[(i + 1) % outline.size()];
            mesh.quad(at(p, ys[s]), at(p, ys[s + 1]), at(q, ys[s + 1]), at(q, ys[s]));
        }
}

}  // namespace

std::vector<Triangle3> buildHangar() {
    std::vector<double> angles = arcAngles();
    Polygon2 inner = archPoints(angles, thickness);
    Polygon2 outer = archPoints(angles, 0);
    Polygon2 outline = endWallOutline(inner, outer);
    std::vector<Triangle3> columns = wallColumns(inner);
    std::vector<Triangle3> endFace = ringFace(inner, outer);
    endFace.insert(endFace.end(), columns.begin(), columns.end());

    Mesh mesh;
    const double frontInside = thickness, backInside = hallDepth - thickness;
    // End walls: outer faces, the faces towards the hall, and their sides (door reveals, feet).
    addPlanar(mesh, endFace, 0, false);
    addPlanar(mesh, columns, frontInside, true);
    addPlanar(mesh, columns, backInside, false);
    addPlanar(mesh, endFace, hallDepth, true);
    sweep(mesh, outline, {0, frontInside});
    sweep(mesh, outline, {backInside, hallDepth});
    // The hall between them: roof and base walls inside and out, and the base walls' feet.
    std::vector<double> ys;
    for (int s = 0; s <= hallSegments; ++s)
        ys.push_back(frontInside + (backInside - frontInside) * s / hallSegments);
    sweep(mesh, ringProfile(inner, outer), ys);
    return mesh.triangles;
}

// ---- the model file -----------------------------------------------------------------------------

// Four decimals are plenty for a hall of a few hundred units, and one point always prints the same.
static std::string formatNumber(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.4f", value);
    std::string number = text;
    while (number.back() == '0') number.pop_back();
    if (number.back() == '.') number.pop_back();
    if (number == "-0") number = "0";
    return number;
}

void writeModelFile(const std::string& path, const std::vector<Triangle3>& triangles) {
    std::string text = "solid hangar\npocet " + std::to_string(triangles.size()) + "\n";
    for (const Triangle3& t : triangles) {
        text += "outer loop\n";
        for (const Point3& p : t.corners)
            text += "      vertex " + formatNumber(p.x) + " " + formatNumber(p.y) + " " +
                    formatNumber(p.z) + "\n";
        text += "endloop\nendfacet\n";
    }
    text += "endsolid hangar\n";
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) throw std::runtime_error("cannot create " + path);
    bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (std::fclose(file) != 0 || !written) throw std::runtime_error("cannot write " + path);
}
