#include "RendererChoice.h"

#include <QDir>
#include <QElapsedTimer>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QQuickWindow>
#include <QSGRendererInterface>

#include "AppConfig.h"
#include "elog.h"

namespace RendererChoice {

namespace {

const char kConfigKey[] = "Display/Renderer";
const char kBackendVariable[] = "QT_QUICK_BACKEND";

QString glString(QOpenGLFunctions* functions, GLenum name) {
    const GLubyte* text = functions->glGetString(name);
    return text ? QString::fromLatin1(reinterpret_cast<const char*>(text)) : QString();
}

}  // namespace

Setting parseSetting(const QString& raw, bool* known) {
    const QString normalized = raw.trimmed().toLower();
    if (known)
        *known = true;
    if (normalized == QLatin1String("opengl"))
        return Setting::OpenGl;
    if (normalized == QLatin1String("software"))
        return Setting::Software;
    if (known && !normalized.isEmpty() && normalized != QLatin1String("auto"))
        *known = false;
    return Setting::Auto;
}

bool isSoftwareRasterizer(const QString& rendererName) {
    // Mesa's rasterizers and the fallbacks of Windows drivers.
    static const char* const kNames[] = {
        "llvmpipe", "softpipe", "swrast", "software rasterizer", "gdi generic", "microsoft basic render"};
    for (const char* name : kNames) {
        if (rendererName.contains(QLatin1String(name), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

QString knownSoftwareRenderer(const QStringList& renderNodes, const QByteArray& alwaysSoftware,
                              const QByteArray& galliumDriver) {
    if (!alwaysSoftware.isEmpty() && alwaysSoftware != "0")
        return QStringLiteral("software rasterizer (LIBGL_ALWAYS_SOFTWARE=%1)")
            .arg(QString::fromLocal8Bit(alwaysSoftware));
    if (isSoftwareRasterizer(QString::fromLocal8Bit(galliumDriver)))
        return QStringLiteral("%1 (GALLIUM_DRIVER)").arg(QString::fromLocal8Bit(galliumDriver));
    if (renderNodes.isEmpty())
        return QStringLiteral("software rasterizer (no GPU render device in /dev/dri)");
    return QString();
}

OpenGlProbe probeOpenGl() {
    QElapsedTimer timer;
    timer.start();
    OpenGlProbe probe;
#ifdef Q_OS_LINUX
    const QStringList renderNodes =
        QDir(QStringLiteral("/dev/dri")).entryList({QStringLiteral("renderD*")}, QDir::System | QDir::Files);
    probe.renderer = knownSoftwareRenderer(renderNodes, qgetenv("LIBGL_ALWAYS_SOFTWARE"), qgetenv("GALLIUM_DRIVER"));
    if (!probe.renderer.isEmpty()) {
        probe.usable = true;
        probe.elapsedMs = timer.nsecsElapsed() / 1e6;
        return probe;
    }
#endif
    QOpenGLContext context;
    if (context.create()) {
        QOffscreenSurface surface;
        surface.setFormat(context.format());
        surface.create();
        if (surface.isValid() && context.makeCurrent(&surface)) {
            probe.renderer = glString(context.functions(), GL_RENDERER);
            probe.usable = !probe.renderer.isEmpty();
            context.doneCurrent();
        }
    }
    probe.elapsedMs = timer.nsecsElapsed() / 1e6;
    return probe;
}

Decision decide(Setting setting, const OpenGlProbe& probe) {
    switch (setting) {
        case Setting::Software:
            return {true, QStringLiteral("Display/Renderer=software")};
        case Setting::OpenGl:
            return {false, QStringLiteral("Display/Renderer=opengl")};
        case Setting::Auto:
            break;
    }
    if (!probe.usable)
        return {true, QStringLiteral("auto: no usable OpenGL")};
    if (isSoftwareRasterizer(probe.renderer))
        return {true, QStringLiteral("auto: OpenGL is a software rasterizer")};
    return {false, QStringLiteral("auto: hardware OpenGL")};
}

QString apply() {
    if (qEnvironmentVariableIsSet(kBackendVariable)) {
        const QByteArray value = qgetenv(kBackendVariable);
        elog_i("app", "Renderer: %s (QT_QUICK_BACKEND set in the environment, %s not applied)",
               value.isEmpty() ? "opengl" : value.constData(), kConfigKey);
        return value.isEmpty() ? QStringLiteral("opengl") : QString::fromLocal8Bit(value);
    }
    const QString raw = AppConfig::stringValue(QLatin1String(kConfigKey), QStringLiteral("auto"));
    bool known = true;
    const Setting setting = parseSetting(raw, &known);
    if (!known)
        elog_w("app", "Unknown %s=%s, using auto", kConfigKey, raw.toUtf8().constData());

    OpenGlProbe probe;
    if (setting == Setting::Auto) {
        probe = probeOpenGl();
        elog_i("app", "OpenGL probe: %s (%.1f ms)",
               probe.usable ? probe.renderer.toUtf8().constData() : "no usable OpenGL", probe.elapsedMs);
    }
    const Decision decision = decide(setting, probe);
    if (decision.software)
        QQuickWindow::setSceneGraphBackend(QSGRendererInterface::Software);
    const char* name = decision.software ? "software" : "opengl";
    elog_i("app", "Renderer: %s (%s)", name, decision.reason.toUtf8().constData());
    return QString::fromLatin1(name);
}

}  // namespace RendererChoice
