#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include <glm/vec2.hpp>

#include <engine/core/Rectangle.h>

namespace Engine {

/// The top of a cell's solid part, for slopes and ledges: a straight line
/// from a height at the cell's left side to one at its right side, each
/// measured up from the cell's bottom in world units (0 to the cell's height).
/// Below the line the cell is solid, down to its bottom.
struct CellFloor {
    float left = 0.0f;                                 ///< Height at the left side.
    float right = 0.0f;                                ///< Height at the right side.
    bool operator==(const CellFloor&) const = default; ///< Both alike.
};

/// A grid of cells, each solid, open or solid below a floor (a slope or a
/// ledge), in world units (y down): the walls and floors of a tile map, for
/// boxes that move against them (MoveBox).
/// Cell (column, row) covers origin + (column * cellWidth, row * cellHeight)
/// and cellWidth by cellHeight from there, half-open as Rectangle is: a box
/// that touches a solid cell does not overlap it.
///
/// What lies beyond each side of the grid is solid or open for ever, as its
/// flag says: by default the sides are walls and above and below is open, as
/// a side-view level wants (a box falls out at the bottom). A cell beyond two
/// sides at once is solid if either says so.
struct CellGrid {
    int columns = 0; ///< Cells across.
    int rows = 0;    ///< Cells down.
    /// World units. In a grid whose cells are not of a finite size above 0,
    /// MoveBox and Solid(box) find nothing solid.
    float cellWidth = 1.0f;
    float cellHeight = 1.0f;      ///< World units; see cellWidth.
    glm::vec2 origin{0.0f, 0.0f}; ///< The top-left corner of cell (0, 0).
    bool solidLeft = true;        ///< Everything left of column 0 is solid.
    bool solidRight = true;       ///< Everything right of the last column is solid.
    bool solidAbove = false;      ///< Everything above row 0 is solid.
    bool solidBelow = false;      ///< Everything below the last row is solid.
    /// columns x rows cells, row by row from the top-left: 0 is open, FLOOR
    /// solid below its entry in floors, any other value wholly solid. Cells it
    /// is too short for are open.
    std::vector<uint8_t> cells;
    /// Parallel to cells, and only for grids with floors (SetFloor fills it):
    /// while it is empty every solid cell is whole, and MoveBox costs what it
    /// always did. A FLOOR cell it is too short for is wholly solid. Heights
    /// are taken within 0 and cellHeight (NaN as cellHeight); a floor 0 high on
    /// both sides is open.
    std::vector<CellFloor> floors;
    /// The value of cells that are solid below their floor.
    static constexpr uint8_t FLOOR = 2;

    CellGrid() = default;
    /// A grid of open cells.
    CellGrid(int columns, int rows, float cellWidth, float cellHeight,
             glm::vec2 origin = {0.0f, 0.0f});

    /// Whether cell (column, row) is solid, wholly or below a floor; any cell,
    /// in the grid or beyond it.
    bool Solid(int column, int row) const;
    /// Whether box overlaps a solid cell, or the solid part of one with a
    /// floor; an empty box overlaps none.
    bool Solid(Rectangle box) const;
    /// Makes a cell of the grid solid or open; cells beyond it are left as they are.
    void Set(int column, int row, bool solid);
    /// Makes every cell of the grid that box overlaps solid or open (the
    /// cells Solid(box) looks at: a box only touching a cell leaves it), as
    /// a map's walls given as boxes (a Tiled object, a static body) become
    /// cells. An empty or not finite box, or a grid of no usable cell size,
    /// changes nothing.
    void Set(Rectangle box, bool solid);
    /// Makes a cell of the grid solid below a floor of these heights (see
    /// CellFloor); cells beyond it are left as they are.
    void SetFloor(int column, int row, CellFloor floor);
    /// The floor of cell (column, row), heights within 0 and cellHeight:
    /// cellHeight on both sides for a wholly solid cell, 0 for an open one.
    CellFloor Floor(int column, int row) const;

    /// The cell (column, row) that holds the point, as Solid(box) counts
    /// cells: a point on an edge two cells share belongs to the one right of
    /// it or below it. Any point gives a cell, in the grid or beyond it
    /// (check it against columns and rows), one past what an int counts the
    /// furthest; a point that is not a number, or a grid of no usable cell
    /// size, gives a cell far up and left of the grid.
    glm::ivec2 CellAt(glm::vec2 point) const;
    /// Where cell (column, row) lies: the box Solid(box) and MoveBox take for
    /// it, flush with its neighbours' boxes. Any cell, in the grid or not.
    Rectangle CellBox(int column, int row) const;
};

/// Where a box ended, and which of its sides met a solid cell.
struct BoxMove {
    Rectangle box;          ///< The box moved.
    bool hitLeft = false;   ///< Stopped moving left.
    bool hitRight = false;  ///< Stopped moving right.
    bool hitTop = false;    ///< Stopped moving up: a head against a ceiling.
    bool hitBottom = false; ///< Stopped moving down: on the ground.
};

/// box moved by delta as far as the grid's solid cells let it: along x first,
/// then along y from there, each axis stopped flush against the first solid
/// cell the box would enter, however far delta reaches (nothing is skipped,
/// and the cost grows with the cells crossed, never past the grid's size).
/// A stopped side reports a hit; a box already flush that is pushed on stays
/// where it is and reports it again, every step, so a box pushed down onto a
/// floor is on the ground each step. delta 0 along an axis hits nothing.
///
/// Only cells a move enters stop it: a box that already overlaps solid cells
/// is not pushed out; it moves on until it would enter another solid cell,
/// and so out of them where the cells ahead are open. That makes one-way
/// platforms a grid of their own, moved against along y only while falling:
/// a box that jumped up into them falls on through, one from above lands.
/// An empty box (Rectangle::Empty) overlaps nothing and moves freely. A NaN or infinite
/// delta or box moves nothing, nor does an axis whose result would overflow.
///
/// Floors (slopes and ledges): a box stands by its foot, the middle of its
/// bottom edge, on the top of the cell under it, and lets its corners into
/// cells that carry that ground on toward the foot (the next cell that way
/// rises as high at their shared edge, or is full below a side 0 high): a
/// corner goes in as far as a line from the foot as steep as a cell's diagonal
/// (cellHeight over cellWidth), so on a ramp its legs stand on the slope,
/// and from a ramp's top onto a whole cell level with it, or from its low end
/// onto flat ground, it walks on with no bump or drop. A cell whose side
/// stands free (a ramp's tall side, a ledge, a cliff's edge) is met as a
/// whole cell is: by its highest point under the bottom edge, so a box whose
/// foot is over the air stands on such a corner, and as a wall where that side
/// is higher than the box's bottom. A box moved sideways onto a lower side
/// walks up the slope, lifted column by column as it goes (a box whose head
/// meets something on the way stops short of it, reporting the hit). A box on
/// the ground, or within the drop of the steepest slope of the move's x, moved
/// sideways and not up, is set down on what lies that little way below, so it
/// walks down slopes without leaving them. A floor's underside and its sides,
/// from below, are met as a whole cell's. A box that already lies lower than
/// these rules let it moves as if every floor were a whole cell. Solid(box)
/// tells overlap alone: it is true for a box whose corners dip into a slope.
BoxMove MoveBox(const CellGrid& grid, Rectangle box, glm::vec2 delta);

/// Where a segment first met a grid's solid cells (CastRay).
struct RayHit {
    glm::vec2 point{0.0f, 0.0f};  ///< Where it met them.
    float fraction = 0.0f;        ///< How far along the segment that is, 0 to 1.
    int column = 0;               ///< The cell met (beyond the grid too, within int's range).
    int row = 0;                  ///< See column.
    glm::vec2 normal{0.0f, 0.0f}; ///< Unit, out of the side or slope met; 0 for a start inside.
};

/// The first solid thing the segment from `from` to `to` meets, walking the
/// cells it crosses in order: none if it meets nothing. The cost grows with
/// the cells crossed within the grid and one cell around it, never past that
/// however long the segment is: what lies beyond each side is solid or open
/// for ever, so a segment meets a solid side where it crosses into it.
///
/// A segment meets a solid cell where it enters its inside; touching is not
/// meeting, as for boxes, so a segment along a grid line passes unless the
/// cells on both sides of the line are solid there, and one through the
/// corner of a cell passes. Through a corner where two solid cells touch
/// diagonally it is stopped, there, by the one across the upright line
/// (normal along x), as it is at a corner whose cell ahead is solid. A start
/// inside solid cells is a hit at fraction 0 with a zero normal; a start on
/// a cell's side, heading in, hits that side at fraction 0. A cell with a
/// floor is met on its sloped top (a slope's normal is slanted), on its
/// sides as high as the floor reaches there, and on its bottom. A
/// zero-length segment meets only what it starts inside. A NaN or infinite
/// end, or a grid whose cells are not of a finite size above 0, meets nothing.
std::optional<RayHit> CastRay(const CellGrid& grid, glm::vec2 from, glm::vec2 to);

} // namespace Engine
