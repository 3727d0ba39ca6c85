// Mouse editing in the plot: grabbing and dragging band points and their slope handles, adding and
// removing bands by double-click, and the label texts for hover and grab.
//
// Edits write the band table directly and flag it (editedInDisplay, then paramsChanged); the next
// kernel rebuild turns the table into parameter values. Positions of points and handles are those
// the last frame recorded in the band table. Buttons and modifier keys are not looked at.
// Threads: the editor thread; no lock is taken.
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
