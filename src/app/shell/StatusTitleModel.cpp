#include "app/shell/StatusTitleModel.h"

#include "app/models/FocusCountdown.h"

#include <cmath>

using namespace Qt::StringLiterals;

namespace kestravin {

StatusTitleModel::StatusTitleModel(Measure measure, qreal imageWidth)
    : m_measure(std::move(measure)), m_imageWidth(imageWidth)
{
}

void StatusTitleModel::update(const QString& remainingTime)
{
    if (remainingTime.isEmpty()) {
        m_title.clear();
        m_guide.clear();
        m_reservedWidth = 0;
        m_length.reset();
        return;
    }
    m_title = u" "_s + remainingTime;
    const QString templ = FocusCountdown::labelTemplate(m_title);
    const QString minimum = u" 00:00"_s;
    const qreal templWidth = m_measure(templ);
    const qreal minimumWidth = m_measure(minimum);
    const qreal width = std::max(templWidth, minimumWidth);
    if (m_reservedWidth < width) {
        m_reservedWidth = std::ceil(width);
        m_guide = templWidth >= minimumWidth ? templ : minimum;
        m_length = m_imageWidth + m_reservedWidth + lengthPadding;
    }
}

} // namespace kestravin
