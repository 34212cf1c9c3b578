#pragma once

#include <QString>

// Which Qt Quick scene graph draws the window. An OpenGL that is really a software rasterizer (a
// laptop without a working GPU driver, a virtual machine, a remote desktop) draws video far slower
// than Qt Quick's own software renderer, so the choice is made at start-up, before the first window
// exists, from Display/Renderer in skyvane.cfg and, for "auto", from what OpenGL turns out to be.
namespace RendererChoice {

enum class Setting { Auto, OpenGl, Software };

// Display/Renderer as written: "auto" (also empty), "opengl" or "software", trimmed, any case.
// Anything else gives Auto with known set to false.
Setting parseSetting(const QString& raw, bool* known = nullptr);

// True for the renderer names of the software rasterizers OpenGL drivers fall back to.
bool isSoftwareRasterizer(const QString& rendererName);

// What a throw-away OpenGL context on an offscreen surface reports.
struct OpenGlProbe {
    bool usable = false;  // a context could be created and made current
    QString renderer;     // GL_RENDERER, or what stands in for it when no context was needed
    double elapsedMs = 0;
};
// Creating a context loads the driver and costs a few hundred milliseconds on a software
// rasterizer, so where the system has no GPU device at all (Linux without a DRM render node, or
// Mesa told to render in software) the answer is known without one.
OpenGlProbe probeOpenGl();

// The rasterizer OpenGL must be without asking it, or an empty string when only a context can tell.
// renderNodes lists the DRM render nodes present (for example "renderD128").
QString knownSoftwareRenderer(const QStringList& renderNodes, const QByteArray& alwaysSoftware,
                              const QByteArray& galliumDriver);

struct Decision {
    bool software = false;  // true: Qt Quick's software scene graph; false: OpenGL
    QString reason;         // for the log
};
// The pure rule: the setting decides unless it is Auto, then the probe does.
Decision decide(Setting setting, const OpenGlProbe& probe);

// Reads the key and the environment, probes OpenGL when the choice depends on it, installs the
// scene graph backend and writes the outcome to the session log. Needs the QGuiApplication and
// must run before the first Qt Quick window is created. Returns the name of the scene graph in use
// ("software" or "opengl"; the environment's value when QT_QUICK_BACKEND decides).
QString apply();

}  // namespace RendererChoice
