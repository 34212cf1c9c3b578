#include "IrPalettes.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace IrPalettes {

namespace {

struct Name {
    const char* en;
    const char* cn;
};

constexpr int kFullCount = 20;
constexpr int kSet1Count = 11;
constexpr int kSet3Count = 15;

const Name kFullTable[kFullCount] = {
    {"White Hot", "白热"},
    {"Black Body", "黑体"},
    {"Rainbow", "彩虹"},
    {"High Contrast Rainbow", "高度对比彩虹"},
    {"Iron Red", "铁红"},
    {"Lava", "岩浆"},
    {"Sky", "天空"},
    {"Mid Gray", "中灰"},
    {"Gray Red", "灰红"},
    {"Purple Orange", "紫橙"},
    {"Special 1", "特殊1"},
    {"Alert Red", "警示红"},
    {"Ice Fire", "冰火"},
    {"Cyan Red", "青红"},
    {"Special 2", "特殊2"},
    {"Gradual Red", "渐变红"},
    {"Gradual Green", "渐变绿"},
    {"Gradual Blue", "渐变蓝"},
    {"Alert Green", "警示绿"},
    {"Alert Blue", "警示蓝"},
};

const Name kSet1[kSet1Count] = {
    {"White Hot", "白热"}, {"Glint Gold", "辉金"}, {"Iron Red", "铁红"}, {"Rainbow", "彩虹"},
    {"Low Light", "微光"}, {"Aurora", "极光"},     {"Red Hot", "红热"},  {"Jungle", "丛林"},
    {"Medical", "医疗"},   {"Black Hot", "黑热"},  {"Gold Red", "金红"},
};

const Name kSet3[kSet3Count] = {
    {"White Hot", "白热"},   {"Black Hot", "黑热"}, {"Fusion 1", "融合1"},   {"Rainbow", "彩虹"},
    {"Iron Red 2", "铁红2"}, {"Fusion 2", "融合2"}, {"Iron Red 1", "铁红1"}, {"Dark Brown", "深褐色"},
    {"Color 1", "色彩1"},    {"Color 2", "色彩2"},  {"Ice Fire", "冰火"},    {"Rain", "雨"},
    {"Red Hot", "红热"},     {"Green Hot", "绿热"}, {"Deep Blue", "深蓝"},
};

// Device codes behind the nine combo positions of the nine-palette products.
constexpr std::array<int, 9> kNineCodes = {1, 2, 3, 4, 5, 9, 11, 14, 17};

}  // namespace

Group groupOf(const QString& product) {
    if (product == QLatin1String("WrenT-R2") || product == QLatin1String("Tern-LITE-A"))
        return Group::NinePalettes;
    if (product == QLatin1String("Tern") || product == QLatin1String("Tern-LITE-B"))
        return Group::PaletteSets;
    return Group::Full;
}

int paletteCount(int paletteSet) {
    if (paletteSet == 1)
        return kSet1Count;
    if (paletteSet == 3)
        return kSet3Count;
    return kFullCount;
}

int codeLimit(Group group, int paletteSet) {
    return group == Group::PaletteSets ? paletteCount(paletteSet) : kFullCount;
}

int normalisedSet(int reportedSet) {
    return reportedSet == 1 || reportedSet == 3 ? reportedSet : 0;
}

int codeForPosition(Group group, int paletteSet, int position) {
    switch (group) {
        case Group::NinePalettes:
            return kNineCodes[std::clamp(position, 0, int(kNineCodes.size()) - 1)];
        case Group::PaletteSets:
            return std::clamp(position, 0, paletteCount(paletteSet) - 1) + 1;
        case Group::Full:
            break;
    }
    return std::clamp(position + 1, 1, kFullCount);
}

int positionForCode(Group group, int paletteSet, int code) {
    switch (group) {
        case Group::NinePalettes: {
            const auto it = std::find(kNineCodes.begin(), kNineCodes.end(), code);
            return it == kNineCodes.end() ? 0 : int(std::distance(kNineCodes.begin(), it));
        }
        case Group::PaletteSets:
            return code >= 1 && code <= paletteCount(paletteSet) ? code - 1 : 0;
        case Group::Full:
            break;
    }
    return std::clamp(code - 1, 0, kFullCount - 1);
}

QStringList names(Group group, int paletteSet, bool english) {
    if (group != Group::PaletteSets)
        return {};
    const Name* table = kFullTable;
    int count = kFullCount;
    if (paletteSet == 1) {
        table = kSet1;
        count = kSet1Count;
    } else if (paletteSet == 3) {
        table = kSet3;
        count = kSet3Count;
    }
    QStringList result;
    for (int i = 0; i < count; ++i)
        result << QString::fromUtf8(english ? table[i].en : table[i].cn);
    return result;
}

}  // namespace IrPalettes
