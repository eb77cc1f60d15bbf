#pragma once

#include <memory>
#include <vector>

#include "track/GridSection.h"

class QGraphicsScene;

// Lays the built-in track with this index (0..14) out on the canvas as grid sections, appended to
// sections in creation order, and numbers its pieces for lap counting. Returns the number of pieces
// a lap must cover; an index outside 0..14 lays out nothing and returns 0.
int LoadTrackLayout(int trackIndex, QGraphicsScene* canvas,
                    std::vector<std::unique_ptr<GridSection>>& sections);
