#include "export/dictionary/graphviz.h"

#include "platform/failure.h"

#include <QLibrary>
#include <QString>

#include <graphviz/gvc.h>
#include <graphviz/gvplugin.h>

#include <mutex>

namespace dictionary {

namespace {

// Graphviz keeps its state in globals: one layout at a time.
std::mutex &graphvizLock()
{
    static std::mutex lock;
    return lock;
}

// What Graphviz said while it worked, for the failure that names it.
thread_local QString graphvizMessages;

int collectMessage(char *message)
{
    graphvizMessages += QString::fromUtf8(message).trimmed() + QLatin1Char(' ');
    return 0;
}

// The context, made once, with the two plugins it needs.
GVC_t *context()
{
    static GVC_t *const made = []() -> GVC_t * {
        static QLibrary core(QStringLiteral(ORVALLE_GRAPHVIZ_PLUGINS "/libgvplugin_core"), 6);
        static QLibrary dot(QStringLiteral(ORVALLE_GRAPHVIZ_PLUGINS "/libgvplugin_dot_layout"), 6);
        // Data, not functions, though QLibrary hands every symbol as one.
        void *const coreLibrary = reinterpret_cast<void *>(core.resolve("gvplugin_core_LTX_library"));
        void *const dotLibrary = reinterpret_cast<void *>(dot.resolve("gvplugin_dot_layout_LTX_library"));
        if (!coreLibrary || !dotLibrary)
            return nullptr;
        static lt_symlist_t plugins[] = {
            {"gvplugin_core_LTX_library", coreLibrary},
            {"gvplugin_dot_layout_LTX_library", dotLibrary},
            {nullptr, nullptr},
        };
        return gvContextPlugins(plugins, 0);
    }();
    return made;
}

} // namespace

QByteArray graphvizSvg(const QByteArray &dot)
{
    const std::lock_guard<std::mutex> locked(graphvizLock());
    GVC_t *const gvc = context();
    if (!gvc)
        throw Failure(QStringLiteral("The diagram cannot be drawn: Graphviz's plugins are not in %1.")
                          .arg(QStringLiteral(ORVALLE_GRAPHVIZ_PLUGINS)));
    graphvizMessages.clear();
    agseterr(AGWARN);
    agseterrf(collectMessage);
    Agraph_t *const graph = agmemread(dot.constData());
    if (!graph)
        throw Failure(QStringLiteral("The diagram cannot be drawn: Graphviz refused its source: %1")
                          .arg(graphvizMessages.trimmed()));
    QByteArray svg;
    const bool laidOut = gvLayout(gvc, graph, "dot") == 0;
    if (laidOut) {
        char *data = nullptr;
        unsigned int length = 0;
        if (gvRenderData(gvc, graph, "svg", &data, &length) == 0 && data)
            svg = QByteArray(data, qsizetype(length));
        gvFreeRenderData(data);
        gvFreeLayout(gvc, graph);
    }
    agclose(graph);
    if (svg.isEmpty())
        throw Failure(QStringLiteral("The diagram cannot be drawn: Graphviz could not lay it out: %1")
                          .arg(graphvizMessages.trimmed()));
    return svg;
}

QByteArray inlineSvg(const QByteArray &svg)
{
    const qsizetype start = svg.indexOf("<svg");
    return start < 0 ? svg : svg.mid(start);
}

} // namespace dictionary
