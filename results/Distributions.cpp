// The four result distributions and their charts.

#include "interface/Main.h"

void TMainFrm::DrawDistribution(int, ImageControl*, int64_t, int32_t, int32_t, int32_t, int32_t,
                                TColor, bool) {}

void TMainFrm::AddDistributionEntry(int, int32_t, int64_t, int32_t, int32_t, int64_t) {}

void TMainFrm::FillChartBackground(ImageControl*, int32_t, int32_t, int32_t, int32_t, TColor) {}

void TMainFrm::ResetDistributions() {}
