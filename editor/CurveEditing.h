// Mouse editing in the plot: grabbing and dragging band points and their slope handles, adding and
// removing bands by double-click, and the label texts for hover and grab.
//
// Edits write the band table and at once turn it into the band parameters (the conversion the
// kernel rebuild uses), as host-visible changes: a drag of a point or handle begins a host gesture
// for the parameters it moves at the press, sends each change as the pointer moves and ends the
// gesture at the release; a double-click that adds or removes a band sends its changes as one
// gesture. The rebuild is then flagged as for any parameter change. Positions of points and handles
// are those the last frame recorded in the band table. Buttons and modifier keys are not looked at.
// Threads: the editor thread, inside the view's mouse dispatch (which holds the plug-in mutex; the
// parameter writes take it too, recursively).
#pragma once

struct InstanceState;

// Grab radius: a part is hit when its squared distance is below 49 (7 pixels).
constexpr double kGrabRadiusSquared = 49.0;

// Nearest part (point, right handle, left handle) of an enabled band to (x, y) in the plot, within
// the grab radius; ties go to the earlier band and part. With pointsOnly only points count. False
// when none is hit.
bool FindBandPart(const InstanceState& state, int x, int y, bool pointsOnly, int* band, int* part);

// Selects band b: rebinds the three band knobs to its parameters and sets their double-click
// defaults.
void SelectBand(InstanceState& state, int b);
// Writes the grab text of band b's part into the label line.
void ShowBandText(InstanceState& state, int b, int part);

void PressInPlot(InstanceState& state, int x, int y);
void DragInPlot(InstanceState& state, int x, int y);
void ReleaseInPlot(InstanceState& state);
void DoubleClickInPlot(InstanceState& state, int x, int y);
void HoverInPlot(InstanceState& state, int x, int y);
void LeavePlot(InstanceState& state);
