#pragma once
#include <algorithm>
#include <cmath>

#include "tools/flicgen/LightCanvas.h"

// The pictures of the demo scenes. Each draws frame `index` of a loop of `count` frames onto a
// cleared canvas of its scene's size; motion is periodic over the loop, so the last frame
// leads smoothly back to the first.
namespace flicgen::art {

// Calls visit(x, y, distance, angle) for every pixel of the canvas within `radius` of `centre`.
template <typename Visit>
void aroundCentre(const LightCanvas& canvas, Point centre, float radius, Visit visit) {
    int x0 = std::max(0, static_cast<int>(std::floor(centre.x - radius)));
    int x1 = std::min(canvas.width() - 1, static_cast<int>(std::ceil(centre.x + radius)));
    int y0 = std::max(0, static_cast<int>(std::floor(centre.y - radius)));
    int y1 = std::min(canvas.height() - 1, static_cast<int>(std::ceil(centre.y + radius)));
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            float dx = static_cast<float>(x) - centre.x;
            float dy = static_cast<float>(y) - centre.y;
            float d = std::sqrt(dx * dx + dy * dy);
            if (d <= radius) visit(x, y, d, std::atan2(dy, dx));
        }
}

// First saver (ideas palette).
void spiralDisc(LightCanvas& canvas, int index, int count);       // colour-cycled galaxy, orbit
void starTetrahedron(LightCanvas& canvas, int index, int count);  // two turning tetrahedra
void radarScope(LightCanvas& canvas, int index, int count);       // sweep, trail and echoes
void lissajousScope(LightCanvas& canvas, int index, int count);   // turning curve, runner
void atomOrbits(LightCanvas& canvas, int index, int count);       // nucleus and electrons
void swarmFlight(LightCanvas& canvas, int index, int count);      // swarm crossing left to right
void rollingWheel(LightCanvas& canvas, int index, int count);     // wheel rolling right to left

// Second saver (lumi palette).
void mandala(LightCanvas& canvas, int index, int count);      // cycled rosette, turning petals
void firework(LightCanvas& canvas, int index, int count);     // a spark that bursts and fades
void lightRibbon(LightCanvas& canvas, int index, int count);  // cycled ribbon, riding lights
void miniMandala(LightCanvas& canvas, int index, int count);  // the mandala for a small box

}  // namespace flicgen::art
