#pragma once

#include <cstdint>
#include <vector>

#include <glm/vec2.hpp>

#include <engine/core/Rectangle.h>

namespace Engine {

/// A grid of cells, each solid or open, in world units (y down): the walls
/// and floors of a tile map, for boxes that move against them (MoveBox).
/// Cell (column, row) covers origin + (column * cellWidth, row * cellHeight)
/// and cellWidth by cellHeight from there, half-open as Rectangle is: a box
/// that touches a solid cell does not overlap it.
///
/// What lies beyond each side of the grid is solid or open for ever, as its
/// flag says: by default the sides are walls and above and below is open, as
/// a side-view level wants (a box falls out at the bottom). A cell beyond two
/// sides at once is solid if either says so.
struct CellGrid {
    int columns = 0;                 ///< Cells across.
    int rows = 0;                    ///< Cells down.
    /// World units. In a grid whose cells are not of a finite size above 0,
    /// MoveBox and Solid(box) find nothing solid.
    float cellWidth = 1.0f;
    float cellHeight = 1.0f;         ///< World units; see cellWidth.
    glm::vec2 origin{0.0f, 0.0f};    ///< The top-left corner of cell (0, 0).
    bool solidLeft = true;           ///< Everything left of column 0 is solid.
    bool solidRight = true;          ///< Everything right of the last column is solid.
    bool solidAbove = false;         ///< Everything above row 0 is solid.
    bool solidBelow = false;         ///< Everything below the last row is solid.
    /// columns x rows cells, row by row from the top-left; non-zero is solid.
    /// Cells it is too short for are open.
    std::vector<uint8_t> cells;

    CellGrid() = default;
    /// A grid of open cells.
    CellGrid(int columns, int rows, float cellWidth, float cellHeight,
             glm::vec2 origin = {0.0f, 0.0f});

    /// Whether cell (column, row) is solid; any cell, in the grid or beyond it.
    bool Solid(int column, int row) const;
    /// Whether box overlaps a solid cell; an empty box overlaps none.
    bool Solid(Rectangle box) const;
    /// Makes a cell of the grid solid or open; cells beyond it are left as they are.
    void Set(int column, int row, bool solid);
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
BoxMove MoveBox(const CellGrid& grid, Rectangle box, glm::vec2 delta);

} // namespace Engine
