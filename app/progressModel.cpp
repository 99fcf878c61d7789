#include "app/progressModel.h"

#include <cmath>

#include "platform/paths.h"

int16_t calcPercent(int32_t value, int32_t max)
{
    if (max == 0)
        return 0;
    double q = static_cast<double>(static_cast<int64_t>(value) * 100) / max;
    double r = std::nearbyint(q); // the default rounding mode: halves to even
    if (r > 100)
        return 100;
    if (r < 0)
        return 0;
    return static_cast<int16_t>(r);
}

int16_t overallPercent(int32_t parentValue, int32_t parentMax, int16_t childPercent)
{
    int16_t w = calcPercent(1, parentMax);
    auto t = static_cast<int16_t>(std::nearbyint(w * childPercent / 100.0));
    int u = calcPercent(parentValue, parentMax) + t;
    return static_cast<int16_t>(u > 100 ? 100 : u);
}

void ProgressModel::setChildName(const std::string& fileName) { showFileName(getFileName(fileName)); }

void ProgressModel::setChildValue(int32_t value)
{
    int16_t c = calcPercent(value, childMax_);
    showChildPercent(c);
    showParentPercent(overallPercent(parentValue_, parentMax_, c));
    letMessagesThrough();
}

void ProgressModel::setParentValue(int32_t value)
{
    parentValue_ = value;
    showParentPercent(calcPercent(value, parentMax_));
}

void ProgressModel::clearForm()
{
    setParentMax(0);
    setChildMax(0);
    setParentValue(0);
    setChildValue(0);
    setChildName("");
}
