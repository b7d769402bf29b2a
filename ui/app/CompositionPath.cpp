#include "ui/app/CompositionPath.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QDir>
#include <QtGlobal>

namespace CompositionPath {

namespace {

// A GPU shows itself as a DRM render node, or as the device files of a vendor's own driver.
bool hasGpuDevice() {
    if (!QDir(QStringLiteral("/dev/dri")).entryList({QStringLiteral("renderD*")}, QDir::System).isEmpty())
        return true;
    return !QDir(QStringLiteral("/dev")).entryList({QStringLiteral("nvidia*")}, QDir::System).isEmpty();
}

} // namespace

bool leaveOutOpenGlWithoutGpu() {
    if (qEnvironmentVariableIsSet("QT_QUICK_BACKEND") || qEnvironmentVariableIsSet("QSG_RHI_BACKEND") ||
        qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION") || hasGpuDevice())
        return false;
    qputenv("QT_XCB_GL_INTEGRATION", "none");
    qputenv("QT_QUICK_BACKEND", "software");
    return true;
}

bool openGlIsSoftware(QString* renderer) {
    QOpenGLContext context;
    if (QOpenGLContext* shared = QOpenGLContext::globalShareContext())
        context.setFormat(shared->format());
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    if (!context.create() || !surface.isValid() || !context.makeCurrent(&surface))
        return true;
    const auto* name = reinterpret_cast<const char*>(context.functions()->glGetString(GL_RENDERER));
    const QString text = name ? QString::fromLatin1(name) : QString();
    context.doneCurrent();
    if (renderer)
        *renderer = text;
    const QString lower = text.toLower();
    return text.isEmpty() || lower.contains(QLatin1String("llvmpipe")) ||
           lower.contains(QLatin1String("softpipe")) || lower.contains(QLatin1String("swrast")) ||
           lower.contains(QLatin1String("software rasterizer"));
}

bool choose() {
    if (qEnvironmentVariableIsSet("QT_QUICK_BACKEND") || qEnvironmentVariableIsSet("QSG_RHI_BACKEND"))
        return qgetenv("QT_QUICK_BACKEND") == "software";
    if (!openGlIsSoftware())
        return false;
    // Read when the first Qt Quick window (a web view) is made.
    qputenv("QT_QUICK_BACKEND", "software");
    return true;
}

} // namespace CompositionPath
