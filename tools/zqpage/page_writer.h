// Page files: where each picture's page goes, and writing it whole or not
// at all.
#ifndef ZQPAGE_PAGE_WRITER_H
#define ZQPAGE_PAGE_WRITER_H

#include "options.h"

#include <opencv2/core.hpp>

#include <string>

namespace zqpage
{

// DIRECTORY/STEM.EXT, STEM being the picture's file name without its
// extension; STEM.EXT in the working directory when directory is empty.
// Page number of a spread (1 or 2, in reading order) comes as STEM-N.EXT;
// 0 is a picture's only page.
std::string pagePath(const std::string &directory, const std::string &picture, PageFormat format,
                     int number = 0);

// Writes the RGB24 page atomically: a file that already has the name stays
// as it was unless the page is written whole.  False with the reason in
// error.
bool writePage(const std::string &path, const cv::Mat &page, PageFormat format, int quality,
               std::string &error);

} // namespace zqpage

#endif
