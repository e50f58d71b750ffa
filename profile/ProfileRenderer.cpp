#include "ProfileRenderer.h"

#include "ProfileLogging.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSvgGenerator>

#include <algorithm>

namespace {

const QColor TextColor(0x22, 0x22, 0x22);
const QColor AxisColor(0x55, 0x55, 0x55);
const QColor GridColor(0xe4, 0xe4, 0xe4);
const QColor BoundaryColor(0x99, 0x99, 0x99);
const QColor LimitColor(0xd0, 0x70, 0x00);
const QColor LaneColor(0xf4, 0xf4, 0xf4);

QColor laneColor(SetpointProfile::Lane lane)
{
    static const QColor colors[SetpointProfile::LaneCount] = {
        QColor(0x2a, 0x9d, 0x8f), QColor(0xe7, 0x6f, 0x51), QColor(0x7b, 0x5e, 0xa7),
        QColor(0x6a, 0x99, 0x3c), QColor(0x9c, 0x6b, 0x3c), QColor(0xc0, 0x4f, 0x8c),
        QColor(0x3c, 0x7d, 0xc0), QColor(0x8c, 0x8c, 0x2a)};
    return colors[lane];
}

QString duration(int minutes)
{
    if (minutes < 120)
        return QStringLiteral("%1 min").arg(minutes);
    return QStringLiteral("%1 (%2 min)").arg(ProfileTicks::timeLabel(minutes, true)).arg(minutes);
}

// The generator gives the picture's size in millimetres at its resolution, which viewers turn
// back into pixels at their own; the size in pixels keeps the picture the size asked for.
bool setPixelSize(QByteArray &svg, const QSize &size)
{
    const int begin = svg.indexOf("<svg ");
    const int end = svg.indexOf('>', begin);
    if (begin < 0 || end < 0)
        return false;
    QString tag = QString::fromUtf8(svg.mid(begin, end - begin));
    const QRegularExpression width(QStringLiteral("\\bwidth=\"[^\"]*\""));
    const QRegularExpression height(QStringLiteral("\\bheight=\"[^\"]*\""));
    if (!tag.contains(width) || !tag.contains(height))
        return false;
    tag.replace(width, QStringLiteral("width=\"%1\"").arg(size.width()));
    tag.replace(height, QStringLiteral("height=\"%1\"").arg(size.height()));
    svg.replace(begin, end - begin, tag.toUtf8());
    return true;
}

} // namespace

ProfileRenderer::ProfileRenderer(const SetpointProfile &profile) : m_profile(profile) {}

QColor ProfileRenderer::curveColor()
{
    return QColor(0x1f, 0x4e, 0xc8);
}

QColor ProfileRenderer::backgroundColor()
{
    return Qt::white;
}

QColor ProfileRenderer::invalidColor()
{
    return QColor(0xd0, 0x10, 0x10);
}

void ProfileRenderer::layout(const QRectF &area)
{
    m_geometry.layout(m_profile, area);
}

void ProfileRenderer::render(QPainter &painter, const QRectF &area)
{
    layout(area);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.fillRect(area, backgroundColor());
    drawTitle(painter);
    if (m_profile.segments().isEmpty()) {
        painter.setFont(m_geometry.font(1.2));
        painter.setPen(TextColor);
        painter.drawText(m_geometry.plotRect(), Qt::AlignCenter, QStringLiteral("No segments"));
        painter.restore();
        return;
    }
    drawSpAxis(painter);
    drawLanes(painter);
    drawMarks(painter);
    drawLimits(painter);
    drawSegments(painter);
    drawTimeAxis(painter);
    drawCurve(painter);
    painter.restore();
}

int ProfileRenderer::segmentAt(const QPointF &point) const
{
    const QRectF span = m_geometry.segmentSpan();
    if (m_profile.segments().isEmpty() || !span.contains(point))
        return 0;
    return m_profile.segmentAtMinutes(m_geometry.minutesAt(point.x()));
}

QString ProfileRenderer::titleText() const
{
    QStringList parts;
    if (m_programNumber > 0)
        parts << QStringLiteral("Program %1").arg(m_programNumber);
    if (!m_profile.tag().isEmpty())
        parts << m_profile.tag();
    return parts.isEmpty() ? QStringLiteral("Setpoint program")
                           : parts.join(QStringLiteral("  ·  "));
}

QString ProfileRenderer::subtitleText() const
{
    const int count = m_profile.segments().size();
    QStringList parts;
    parts << (count == 1 ? QStringLiteral("1 segment") : QStringLiteral("%1 segments").arg(count));
    parts << QStringLiteral("run time %1").arg(duration(m_profile.totalMinutes()));
    if (m_profile.pvStart())
        parts << QStringLiteral("PV start (SEG1 starts from the measured value)");
    if (m_profile.cycles())
        parts << QStringLiteral("CYCL %1").arg(*m_profile.cycles());
    if (m_profile.linkedProgram())
        parts << QStringLiteral("P.LIN %1").arg(*m_profile.linkedProgram());
    if (m_profile.hasParameters())
        parts << QStringLiteral("SP1 limits %1 to %2")
                     .arg(m_profile.spLowLimit())
                     .arg(m_profile.spHighLimit());
    const auto marked = [](const SetpointProfile::Segment &s) { return s.invalid || s.unreadable; };
    if (std::any_of(m_profile.segments().begin(), m_profile.segments().end(), marked))
        parts << QStringLiteral("red: invalid or unreadable segments");
    return parts.join(QStringLiteral("  ·  "));
}

void ProfileRenderer::drawTitle(QPainter &painter) const
{
    painter.setPen(TextColor);
    painter.setFont(m_geometry.font(1.4, true));
    const QRectF title = m_geometry.titleRect();
    painter.drawText(title, Qt::AlignLeft | Qt::AlignVCenter, titleText());
    const QFont small = m_geometry.font(0.9);
    painter.setFont(small);
    painter.setPen(AxisColor);
    const QRectF subtitle = m_geometry.subtitleRect();
    const QString text =
        QFontMetricsF(small).elidedText(subtitleText(), Qt::ElideRight, subtitle.width());
    painter.drawText(subtitle, Qt::AlignLeft | Qt::AlignVCenter, text);
}

void ProfileRenderer::drawMarks(QPainter &painter) const
{
    const QRectF span = m_geometry.segmentSpan();
    QColor wash = invalidColor();
    wash.setAlpha(30);
    QColor hatch = invalidColor();
    hatch.setAlpha(110);
    for (const SetpointProfile::Segment &segment : m_profile.segments()) {
        if (!segment.invalid && !segment.unreadable)
            continue;
        const double left = m_geometry.map(segment.startMinutes, 0).x();
        const double right = m_geometry.map(segment.endMinutes, 0).x();
        const double width = std::max(right - left, m_geometry.unit() / 3);
        const QRectF mark(left + (right - left - width) / 2, span.top(), width, span.height());
        painter.fillRect(mark, wash);
        painter.fillRect(mark, QBrush(hatch, Qt::BDiagPattern));
    }
}

void ProfileRenderer::drawSpAxis(QPainter &painter) const
{
    const QRectF plot = m_geometry.plotRect();
    const ProfileTicks::Axis &axis = m_geometry.spAxis();
    const double u = m_geometry.unit();
    painter.setFont(m_geometry.font());
    for (const double tick : axis.ticks) {
        const double y = m_geometry.map(0, tick).y();
        painter.setPen(QPen(GridColor, 1));
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        painter.setPen(QPen(AxisColor, 1));
        painter.drawLine(QPointF(plot.left() - 0.4 * u, y), QPointF(plot.left(), y));
        const QRectF label(plot.left() - 10 * u, y - u, 9.4 * u, 2 * u);
        painter.setPen(TextColor);
        painter.drawText(label, Qt::AlignRight | Qt::AlignVCenter,
                         ProfileTicks::valueLabel(tick, axis.step));
    }
    // The unit label, turned to read along the axis.
    painter.save();
    const double x = m_geometry.area().left() + u;
    painter.translate(x, plot.center().y());
    painter.rotate(-90);
    painter.setFont(m_geometry.font(1.0, true));
    painter.drawText(QRectF(-plot.height() / 2, 0, plot.height(), 1.5 * u),
                     Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("SP1"));
    painter.restore();
}

void ProfileRenderer::drawTimeAxis(QPainter &painter) const
{
    const QRectF plot = m_geometry.plotRect();
    const QRectF span = m_geometry.segmentSpan();
    const ProfileTicks::Axis &axis = m_geometry.timeAxis();
    const double u = m_geometry.unit();
    painter.setFont(m_geometry.font());
    const double lineHeight = QFontMetricsF(m_geometry.font()).height();
    painter.setPen(QPen(AxisColor, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(plot);
    for (const double tick : axis.ticks) {
        const double x = m_geometry.map(tick, 0).x();
        painter.setPen(QPen(AxisColor, 1));
        painter.drawLine(QPointF(x, span.bottom()), QPointF(x, span.bottom() + 0.4 * u));
        painter.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() - 0.4 * u));
        painter.setPen(TextColor);
        const QRectF label(x - 5 * u, span.bottom() + 0.4 * u, 10 * u, lineHeight * 1.2);
        painter.drawText(label, Qt::AlignHCenter | Qt::AlignTop,
                         ProfileTicks::timeLabel(tick, m_geometry.clockLabels()));
    }
    const QString title = m_geometry.clockLabels() ? QStringLiteral("Run time (h:mm)")
                                                   : QStringLiteral("Run time (min)");
    painter.setFont(m_geometry.font(1.0, true));
    const QRectF titleRect(plot.left(), span.bottom() + 0.4 * u + lineHeight * 1.2, plot.width(),
                           lineHeight * 1.3);
    painter.drawText(titleRect, Qt::AlignHCenter | Qt::AlignTop, title);
}

void ProfileRenderer::drawLimits(QPainter &painter) const
{
    if (!m_profile.hasParameters())
        return;
    const QRectF plot = m_geometry.plotRect();
    const double u = m_geometry.unit();
    painter.setFont(m_geometry.font(0.85));
    const struct
    {
        qint32 value;
        const char *name;
    } limits[2] = {{m_profile.spLowLimit(), "low"}, {m_profile.spHighLimit(), "high"}};
    for (const auto &limit : limits) {
        const double y = m_geometry.map(0, limit.value).y();
        if (y < plot.top() - 0.5 || y > plot.bottom() + 0.5)
            continue;
        painter.setPen(QPen(LimitColor, std::max(1.0, u / 8), Qt::DashLine));
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        const bool below = qstrcmp(limit.name, "high") == 0;
        const QRectF label(plot.left() + 0.5 * u, below ? y + 0.2 * u : y - 1.6 * u,
                           plot.width() - u, 1.4 * u);
        painter.setPen(LimitColor);
        painter.drawText(
            label, Qt::AlignRight | (below ? Qt::AlignTop : Qt::AlignBottom),
            QStringLiteral("SP1 %1 limit %2").arg(QLatin1String(limit.name)).arg(limit.value));
    }
}

void ProfileRenderer::drawSegments(QPainter &painter) const
{
    const QRectF span = m_geometry.segmentSpan();
    painter.setPen(QPen(BoundaryColor, 1, Qt::DashLine));
    for (const SetpointProfile::Segment &segment : m_profile.segments()) {
        const double x = m_geometry.map(segment.startMinutes, 0).x();
        if (segment.number > 1)
            painter.drawLine(QPointF(x, span.top()), QPointF(x, span.bottom()));
    }
    // Labels of marked segments first, so they are never the ones left out; a label is "SEGn"
    // where that fits, else "n", and never overlaps another.
    const QRectF row = m_geometry.segmentLabelRect();
    const QFont font = m_geometry.font(0.9);
    const QFontMetricsF metrics(font);
    const double gap = m_geometry.unit() * 0.4;
    painter.setFont(font);
    QList<QRectF> taken;
    for (const bool markedPass : {true, false}) {
        for (const SetpointProfile::Segment &segment : m_profile.segments()) {
            const bool marked = segment.invalid || segment.unreadable;
            if (marked != markedPass)
                continue;
            const double left = m_geometry.map(segment.startMinutes, 0).x();
            const double right = m_geometry.map(segment.endMinutes, 0).x();
            const QString texts[2] = {QStringLiteral("SEG%1").arg(segment.number),
                                      QString::number(segment.number)};
            for (const QString &text : texts) {
                const double width = metrics.horizontalAdvance(text);
                const QRectF rect((left + right - width - gap) / 2, row.top(), width + gap,
                                  row.height());
                const bool fits = width <= right - left - 2 || (marked && text == texts[1]);
                const auto overlaps = [&rect](const QRectF &other) {
                    return other.intersects(rect);
                };
                if (!fits || std::any_of(taken.begin(), taken.end(), overlaps))
                    continue;
                taken << rect;
                painter.setPen(marked ? invalidColor() : TextColor);
                painter.drawText(rect, Qt::AlignCenter | Qt::TextDontClip, text);
                break;
            }
        }
    }
}

void ProfileRenderer::drawLanes(QPainter &painter) const
{
    const QList<SetpointProfile::Lane> &lanes = m_geometry.lanes();
    const double u = m_geometry.unit();
    painter.setFont(m_geometry.font(0.85, true));
    for (int i = 0; i < lanes.size(); ++i) {
        const QRectF row = m_geometry.laneRect(i);
        painter.fillRect(row.adjusted(0, 1, 0, -1), LaneColor);
        painter.setPen(TextColor);
        painter.drawText(QRectF(row.left() - 6 * u, row.top(), 5.4 * u, row.height()),
                         Qt::AlignRight | Qt::AlignVCenter, SetpointProfile::laneName(lanes.at(i)));
        for (const SetpointProfile::Band &band : m_profile.bands()) {
            if (band.lane != lanes.at(i))
                continue;
            const double left = m_geometry.map(band.startMinutes, 0).x();
            const double right = m_geometry.map(band.endMinutes, 0).x();
            const QRectF bar(left, row.top() + row.height() * 0.2, std::max(right - left, 1.5),
                             row.height() * 0.6);
            painter.fillRect(bar, laneColor(band.lane));
        }
    }
}

void ProfileRenderer::drawCurve(QPainter &painter) const
{
    const double u = m_geometry.unit();
    const double width = std::max(2.0, u / 5);
    for (const SetpointProfile::Segment &segment : m_profile.segments()) {
        const bool guessed = segment.unreadable || (segment.number == 1 && m_profile.pvStart());
        QPen pen(curveColor(), width, guessed ? Qt::DashLine : Qt::SolidLine, Qt::RoundCap,
                 Qt::RoundJoin);
        painter.setPen(pen);
        painter.drawLine(m_geometry.map(segment.startMinutes, segment.startSp),
                         m_geometry.map(segment.endMinutes, segment.endSp));
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(curveColor());
    for (const SetpointProfile::Segment &segment : m_profile.segments())
        painter.drawEllipse(m_geometry.map(segment.endMinutes, segment.endSp), width * 1.2,
                            width * 1.2);
    if (m_profile.pvStart()) {
        const SetpointProfile::Segment &first = m_profile.segments().first();
        const QPointF at = m_geometry.map(first.startMinutes, first.startSp);
        painter.setPen(curveColor());
        painter.setFont(m_geometry.font(0.85));
        painter.drawText(QRectF(at.x() + 0.4 * u, at.y() - 1.8 * u, 10 * u, 1.4 * u),
                         Qt::AlignLeft | Qt::AlignBottom, QStringLiteral("PV start"));
    }
}

QImage ProfileRenderer::toImage(const QSize &size)
{
    if (size.isEmpty())
        return QImage();
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(backgroundColor());
    QPainter painter(&image);
    render(painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return image;
}

bool ProfileRenderer::savePng(const QString &path, const QSize &size)
{
    if (size.isEmpty())
        return fail(ExportError::EmptySize, QStringLiteral("The picture size %1x%2 is empty.")
                                                .arg(size.width())
                                                .arg(size.height()));
    const QImage image = toImage(size);
    QByteArray data;
    QBuffer buffer(&data);
    if (image.isNull() || !buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
        return fail(ExportError::EncodeFailed, QStringLiteral("The picture could not be "
                                                              "encoded as PNG."));
    return writeFile(path, data);
}

bool ProfileRenderer::saveSvg(const QString &path, const QSize &size)
{
    if (size.isEmpty())
        return fail(ExportError::EmptySize, QStringLiteral("The picture size %1x%2 is empty.")
                                                .arg(size.width())
                                                .arg(size.height()));
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(size);
    generator.setViewBox(QRect(QPoint(0, 0), size));
    generator.setTitle(titleText());
    QPainter painter;
    if (!painter.begin(&generator))
        return fail(ExportError::PaintFailed, QStringLiteral("The SVG picture could not be "
                                                             "started."));
    render(painter, QRectF(QPointF(0, 0), QSizeF(size)));
    painter.end();
    if (!setPixelSize(data, size))
        return fail(ExportError::EncodeFailed, QStringLiteral("The picture could not be "
                                                              "encoded as SVG."));
    return writeFile(path, data);
}

bool ProfileRenderer::writeFile(const QString &path, const QByteArray &data)
{
    // Written aside and renamed into place, so a failed write leaves the previous file whole.
    // Unbuffered: commit() sees a failed write, but not a failed final flush (a full disk).
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(ExportError::WriteFailed,
                    QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
    if (file.write(data) != data.size() || !file.commit()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return fail(ExportError::WriteFailed,
                    QStringLiteral("Cannot write %1: %2").arg(path, reason));
    }
    m_error = ExportError::None;
    m_errorString.clear();
    return true;
}

bool ProfileRenderer::fail(ExportError error, const QString &text)
{
    m_error = error;
    m_errorString = text;
    qCDebug(lcProfile) << text;
    return false;
}
