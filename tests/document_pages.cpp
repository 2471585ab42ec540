#include "document_pages.h"

#include "scene.h"
#include "scene_parts.h"
#include "word_accuracy.h"

#include <algorithm>
#include <cmath>
#include <sstream>

namespace zq::test
{
namespace
{

constexpr double kPaper = 250;
// Text runs from the scene's left margin, a tenth of the width, to as far
// from the right edge: 80 % of the width.
constexpr double kTextWidth = 0.8;
constexpr double kA4Aspect = 297.0 / 210.0;
// Mean advance in ems, a little generous so that a line never runs off
// the page: in the font, prose in Latin letters advances 0.47 em a
// character, Chinese one em.
constexpr double kLatinAdvance = 0.52;
constexpr double kChineseAdvance = 1.0;
// A yellow highlighter's transmission of red, green and blue.
constexpr double kHighlighter[3] = {1.0, 0.95, 0.45};

const char kLetter[] =
    "The committee met on the third of March to review the plans for the new wing of the "
    "library. Members agreed that the reading room should face the garden, where the light is "
    "even through most of the day, and that the archive below it needs its own climate "
    "control. The architect presented two designs. The first keeps the old brick wall and "
    "opens it with tall windows, the second replaces the wall with glass and a steel frame. "
    "After a long discussion the committee preferred the first design, because it costs less "
    "to heat and keeps the character of the street. The budget for the work is four hundred "
    "thousand pounds, of which the council will pay half. The rest will come from the building "
    "fund and from donations. A letter asking local firms for support will be sent before the "
    "end of the month. Work on the foundations should begin in September and last about six "
    "weeks. During that time the main entrance will be closed and visitors will use the side "
    "door on Mill Lane. Staff will move the rare books to the store in the town hall, where "
    "they will remain until the new archive is ready. The committee thanked the volunteers who "
    "counted and packed the collection last winter, more than twelve thousand volumes in all. "
    "Several readers have asked whether the library will stay open during the building work. "
    "It will, although the hours on Saturday will be shorter until the end of the year. Events "
    "for children move to the community centre across the square, and the study tables on the "
    "first floor can be used by booking only. We are sorry for the noise and dust that the "
    "work is bound to bring, and we are grateful for your patience while the new wing takes "
    "shape. The next meeting will take place on the seventh of April at six in the evening. "
    "Members who cannot attend are asked to send their comments to the secretary in writing.";

const char kTerms[] =
    "Terms and conditions: goods remain the property of the seller until paid for in full. "
    "Claims for damage in transit must be made in writing within seven days of delivery. "
    "Prices include value added tax at the current rate but exclude delivery to the islands. "
    "The seller is not liable for any loss arising from delays caused by events beyond its "
    "reasonable control. Returns are accepted within thirty days if the goods are unused and "
    "in their original packing. Refunds are paid to the card used for the order within "
    "fourteen days of receipt of the returned goods. Personal data is kept only as long as "
    "needed to fulfil the order and meet legal duties, and is never sold to third parties. "
    "Any dispute shall be settled by the courts of the place where the seller has its office. "
    "Should one of these terms be void, the others remain in force. Orders placed by telephone "
    "are confirmed in writing, and the confirmation is binding unless it is disputed within "
    "two working days. Delivery dates are given in good faith but are not guaranteed. Goods "
    "ordered to measure cannot be returned unless they are faulty. A guarantee of two years "
    "covers faults of material and workmanship, not wear or damage from misuse. Parts replaced "
    "under the guarantee become the property of the seller. Invoices are payable within thirty "
    "days without deduction, and interest is charged on late payment at the statutory rate.";

const char kChineseLetter[] =
    "图书馆新馆的建设方案已经在三月初的会议上讨论通过。委员们一致认为，阅览室应当朝向花园，"
    "因为那里一天中大部分时间光线均匀柔和。档案室设在阅览室下面，需要独立的温度和湿度控制。"
    "设计师提出了两套方案：第一套保留原有的砖墙，开出高大的窗户；第二套拆除砖墙，改用玻璃和钢结构。"
    "经过长时间的讨论，委员会选择了第一套方案，因为它冬季取暖费用较低，也保留了街道原来的风貌。"
    "工程预算为四百万元，其中一半由市政府承担，其余部分来自建设基金和社会捐款。"
    "地基工程预计九月开工，持续大约六个星期。施工期间正门关闭，读者请从西侧小门进出。"
    "珍贵古籍将暂时存放在市政厅的库房里，直到新的档案室完工为止。"
    "委员会感谢去年冬天帮助清点和包装藏书的志愿者们，他们一共整理了一万二千多册图书。"
    "下一次会议定于四月七日晚上六点举行，不能出席的委员请将书面意见交给秘书。"
    "本次会议纪要将张贴在大厅和阅览室的公告栏上。施工期间图书馆照常开放，"
    "但周六的开放时间将缩短到年底。儿童活动暂时改在广场对面的社区中心举行，"
    "二楼的自习座位需要提前预约。施工难免带来噪音和灰尘，我们深表歉意，"
    "也感谢大家在新馆建设期间的耐心和理解。高拍仪可以把纸质文件快速拍成清晰的图片，"
    "再把多页图片合成一个文件，方便保存、打印和发送。为了让文件更小，"
    "软件会把只有文字的页面压缩成黑白图像，而带有照片、印章或者彩色标记的页面则保留颜色。"
    "文字识别功能可以找出图片中的文字，让读者在文件中搜索和复制。无论是合同、发票还是学生的作业，"
    "只要放在镜头下面轻轻一拍，就能得到一份整齐的电子文档。";

// How many characters of that advance fill a line of that type.
size_t lineLength(double size, double advance)
{
    return size_t(kTextWidth / (size * kA4Aspect * advance));
}

// The text broken between words into lines of at most `length` characters,
// as many lines as asked for, starting the text again when it runs out.
std::vector<std::string> wrappedWords(const std::string &text, size_t length, int lines)
{
    std::vector<std::string> out;
    std::string line;
    while (int(out.size()) < lines) {
        std::istringstream words(text);
        for (std::string word; int(out.size()) < lines && words >> word;) {
            if (!line.empty() && line.size() + 1 + word.size() > length) {
                out.push_back(line);
                line.clear();
            }
            line += (line.empty() ? "" : " ") + word;
        }
    }
    return out;
}

// The same for text without spaces, broken after any character.
std::vector<std::string> wrappedCharacters(const std::string &text, size_t length, int lines)
{
    const std::vector<std::string> characters = utf8Characters(text);
    std::vector<std::string> out(size_t(std::max(lines, 0)));
    for (size_t i = 0; i < out.size() * length; ++i)
        out[i / length] += characters[i % characters.size()];
    return out;
}

// The extent of each line's ink, from its words' boxes.
std::vector<Box> lineBoxes(const zq::sim::PageScene &scene, int width, int height)
{
    std::vector<Box> boxes(scene.lines.size(), Box{width, height, 0, 0});
    for (const zq::sim::WordBox &word : zq::sim::wordBoxes(scene, width, height)) {
        Box &box = boxes[size_t(word.line)];
        box = {std::min(box.left, word.left), std::min(box.top, word.top),
               std::max(box.right, word.right), std::max(box.bottom, word.bottom)};
    }
    return boxes;
}

uint8_t *pixel(Picture &picture, int x, int y)
{
    return &picture.samples[(size_t(y) * picture.width + x) * 3];
}

} // namespace

DocumentPage printedPage(int width, int height, const std::vector<TextBlock> &blocks,
                         const std::string &languages)
{
    DocumentPage page{{width, height, 3, std::vector<uint8_t>(size_t(width) * height * 3, 255)},
                      {},
                      {},
                      languages};
    // The lines printed so far, each counted as its size: a line of
    // another size is as high as that many of its own.
    double above = 0;
    for (const TextBlock &block : blocks) {
        const int blank = above > 0 ? int(std::ceil(above / block.size)) + 1 : 0;
        zq::sim::PageScene scene;
        scene.font = ZQ_TEXT_FONT;
        scene.paper = kPaper;
        scene.textSize = block.size;
        scene.lines.assign(size_t(blank), "");
        scene.lines.insert(scene.lines.end(), block.lines.begin(), block.lines.end());
        const std::vector<uint8_t> printed = zq::sim::renderPage(scene, width, height);
        for (size_t i = 0; i < printed.size(); ++i)
            page.picture.samples[i] = std::min(page.picture.samples[i], printed[i]);
        const std::vector<Box> boxes = lineBoxes(scene, width, height);
        page.lineBoxes.insert(page.lineBoxes.end(), boxes.begin() + blank, boxes.end());
        page.lines.insert(page.lines.end(), block.lines.begin(), block.lines.end());
        above += double(blank + int(block.lines.size())) * block.size;
    }
    return page;
}

std::vector<std::string> englishProse(int lines, double size)
{
    return wrappedWords(kLetter, lineLength(size, kLatinAdvance), lines);
}

std::vector<std::string> chineseProse(int lines, double size)
{
    return wrappedCharacters(kChineseLetter, lineLength(size, kChineseAdvance), lines);
}

std::vector<std::string> smallPrint(int lines, double size)
{
    return wrappedWords(kTerms, lineLength(size, kLatinAdvance), lines);
}

double stampRingRadius(const Box &box)
{
    return 0.425 * std::min(box.right - box.left, box.bottom - box.top);
}

void stamp(Picture &page, const Box &box)
{
    const double cx = (box.left + box.right) / 2.0, cy = (box.top + box.bottom) / 2.0;
    const double middle = stampRingRadius(box), halfWidth = middle * 0.137;
    for (int y = box.top; y < box.bottom; ++y)
        for (int x = box.left; x < box.right; ++x)
            if (std::fabs(std::hypot(x - cx, y - cy) - middle) < halfWidth)
                std::copy_n(kStampRed.data(), 3, pixel(page, x, y));
}

void pastePhotograph(Picture &page, const Box &box)
{
    for (int y = box.top; y < box.bottom; ++y)
        for (int x = box.left; x < box.right; ++x) {
            const double u = double(x - box.left) / (box.right - box.left);
            const double light = 1.0 - 0.6 * (y - box.top) / (box.bottom - box.top);
            uint8_t *p = pixel(page, x, y);
            p[0] = uint8_t(light * (128 + 127 * std::cos(6.28 * u)));
            p[1] = uint8_t(light * (128 + 127 * std::cos(6.28 * u - 2.09)));
            p[2] = uint8_t(light * (128 + 127 * std::cos(6.28 * u + 2.09)));
        }
}

void highlight(Picture &page, const Box &box)
{
    for (int y = std::max(0, box.top); y < std::min(page.height, box.bottom); ++y)
        for (int x = std::max(0, box.left); x < std::min(page.width, box.right); ++x) {
            uint8_t *p = pixel(page, x, y);
            for (int c = 0; c < 3; ++c)
                p[c] = uint8_t(std::lround(p[c] * kHighlighter[c]));
        }
}

Box highlighterStroke(const Box &line)
{
    const int margin = (line.bottom - line.top) / 4;
    return {line.left - 2 * margin, line.top - margin, line.right + 2 * margin,
            line.bottom + margin};
}

void photographed(Picture &page, const CameraLook &look)
{
    for (int y = 0; y < page.height; ++y)
        for (int x = 0; x < page.width; ++x) {
            const double across = (double(x) / page.width + double(y) / page.height) / 2;
            const double light = 1.0 - look.lightFalloff * across;
            uint8_t *p = pixel(page, x, y);
            const double channel[3] = {p[0] * light, p[1] * light, p[2] * light};
            zq::sim::parts::storePixel(channel, look.noise, look.seed, x, y, p);
        }
}

} // namespace zq::test
