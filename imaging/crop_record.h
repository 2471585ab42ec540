// The C interface's crop record: g_cutting_edge (zq_opencv_internal.h),
// which callers read and may write directly, and behind it the outline the
// detector last recorded, with the measured corners the record has no room
// for.  Only the C entry points use it; they are called from one thread at
// a time.
#ifndef ZQ_CROP_RECORD_H
#define ZQ_CROP_RECORD_H

#include "page_outline.h"

#include <zqscan/zq_opencv.h>

#include <optional>

namespace zq::imaging
{

// The record's quadrilateral and angle, valid or not.
PageOutline recordedBox();

// The outline of the current frame: nothing when the record is not valid.
// A detected page's measured corners come with it while the record is
// still the one the detector wrote: not set by hand, changed or drawn.
std::optional<PageOutline> recordedOutline();

// Makes the outline the record, valid.  A detected outline (one with a
// measured page) is kept too, as the last detection.
void recordOutline(const PageOutline &outline);

// The outline the detector recorded last, whatever became of the record
// since.
const std::optional<PageOutline> &lastDetection();

// Marks the record as drawn: no longer valid.
void consumeRecord();

// The outline in the record's form, valid.
CuttingEdgeInfo cuttingEdgeInfo(const PageOutline &outline);

} // namespace zq::imaging

#endif
