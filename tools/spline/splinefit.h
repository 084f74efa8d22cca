// "Splinefit image": straightening a curved, roughly vertical object in a box of the
// displayed image along a spline fitted through points marked on its centre line.
#pragma once

void splinefit();
