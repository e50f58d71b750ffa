#ifndef PROFILERENDERER_H
#define PROFILERENDERER_H

#include "ProfileGeometry.h"
#include "SetpointProfile.h"

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QString>

class QPainter;

// Draws a setpoint profile with QPainter on any paint device: a title with the program number
// and tag, the SP1 curve over run time with both axes ticked, the segment boundaries and labels,
// the SP1 limits as dashed lines, the time events as bands in lanes under the curve, and every
// invalid or unreadable segment hatched in red. White background, anti-aliased, fonts sized from
// the picture. The geometry of the last drawing (or layout) stays available for hit tests.
// Text needs fonts, so a QGuiApplication (the offscreen platform will do) must exist.
class ProfileRenderer
{
public:
    enum class ExportError {
        None,
        EmptySize,    // the requested picture size has no area
        PaintFailed,  // the painter could not start on the picture
        EncodeFailed, // the picture could not be encoded as PNG or SVG
        WriteFailed   // the file could not be written; an existing file is left as it was
    };

    explicit ProfileRenderer(const SetpointProfile &profile = SetpointProfile());

    void setProfile(const SetpointProfile &profile) { m_profile = profile; }
    const SetpointProfile &profile() const { return m_profile; }
    // The program number shown in the title; 0 (the default) shows none.
    void setProgramNumber(int number) { m_programNumber = number; }
    int programNumber() const { return m_programNumber; }

    // Draws the profile into area of the painter's device and keeps the geometry it used.
    void render(QPainter &painter, const QRectF &area);
    // Computes the geometry for area without drawing (for hit tests before the first paint).
    void layout(const QRectF &area);
    // The geometry of the last render() or layout().
    const ProfileGeometry &geometry() const { return m_geometry; }
    QRectF plotRect() const { return m_geometry.plotRect(); }
    // The device point of (run minutes, SP1) in the last layout.
    QPointF map(double minutes, double sp) const { return m_geometry.map(minutes, sp); }
    // The segment number under point (in the plot, the lanes or the segment label row), or 0.
    int segmentAt(const QPointF &point) const;

    // The drawing on a white image of size; a null image when size is empty.
    QImage toImage(const QSize &size);
    // Write the drawing as a PNG or SVG file of size; true when the whole file was written. On
    // false error() and errorString() say why and an existing file at path is unchanged.
    bool savePng(const QString &path, const QSize &size);
    bool saveSvg(const QString &path, const QSize &size);
    ExportError error() const { return m_error; }
    QString errorString() const { return m_errorString; }

    static QColor curveColor();
    static QColor backgroundColor();
    static QColor invalidColor();

private:
    QString titleText() const;
    QString subtitleText() const;
    void drawTitle(QPainter &painter) const;
    void drawMarks(QPainter &painter) const;
    void drawSpAxis(QPainter &painter) const;
    void drawTimeAxis(QPainter &painter) const;
    void drawLimits(QPainter &painter) const;
    void drawSegments(QPainter &painter) const;
    void drawLanes(QPainter &painter) const;
    void drawCurve(QPainter &painter) const;
    bool fail(ExportError error, const QString &text);
    bool writeFile(const QString &path, const QByteArray &data);

    SetpointProfile m_profile;
    ProfileGeometry m_geometry;
    int m_programNumber = 0;
    ExportError m_error = ExportError::None;
    QString m_errorString;
};

#endif
