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

// Graphviz's functions, from its libraries loaded on first use, and its
// context with the two plugins it needs.
struct Graphviz {
    decltype(&gvContextPlugins) contextPlugins = nullptr;
    decltype(&gvLayout) layout = nullptr;
    decltype(&gvRenderData) renderData = nullptr;
    decltype(&gvFreeRenderData) freeRenderData = nullptr;
    decltype(&gvFreeLayout) freeLayout = nullptr;
    decltype(&agmemread) memread = nullptr;
    decltype(&agclose) close = nullptr;
    decltype(&agseterr) seterr = nullptr;
    decltype(&agseterrf) seterrf = nullptr;
    GVC_t *context = nullptr;
};

template <class Function>
bool resolve(QLibrary &library, const char *name, Function &function)
{
    function = reinterpret_cast<Function>(library.resolve(name));
    return function != nullptr;
}

// Data, not a function, though QLibrary hands every symbol as one.
void *resolveData(QLibrary &library, const char *name)
{
    return reinterpret_cast<void *>(library.resolve(name));
}

const Graphviz *graphviz()
{
    static const Graphviz loaded = []() {
        Graphviz g;
        // Named libcgraph.so.6 and so on on Linux, cgraph.dll on Windows
        // (where QLibrary leaves the version out).
        static QLibrary cgraph(QStringLiteral(ORVALLE_GRAPHVIZ_LIBS "/" ORVALLE_GRAPHVIZ_FILE_PREFIX "cgraph"), 6);
        static QLibrary gvc(QStringLiteral(ORVALLE_GRAPHVIZ_LIBS "/" ORVALLE_GRAPHVIZ_FILE_PREFIX "gvc"), 6);
        static QLibrary core(QStringLiteral(ORVALLE_GRAPHVIZ_PLUGINS "/" ORVALLE_GRAPHVIZ_FILE_PREFIX "gvplugin_core"), 6);
        static QLibrary dot(
            QStringLiteral(ORVALLE_GRAPHVIZ_PLUGINS "/" ORVALLE_GRAPHVIZ_FILE_PREFIX "gvplugin_dot_layout"), 6);
        const bool all = resolve(gvc, "gvContextPlugins", g.contextPlugins) && resolve(gvc, "gvLayout", g.layout)
            && resolve(gvc, "gvRenderData", g.renderData) && resolve(gvc, "gvFreeRenderData", g.freeRenderData)
            && resolve(gvc, "gvFreeLayout", g.freeLayout) && resolve(cgraph, "agmemread", g.memread)
            && resolve(cgraph, "agclose", g.close) && resolve(cgraph, "agseterr", g.seterr)
            && resolve(cgraph, "agseterrf", g.seterrf);
        void *const coreLibrary = resolveData(core, "gvplugin_core_LTX_library");
        void *const dotLibrary = resolveData(dot, "gvplugin_dot_layout_LTX_library");
        if (!all || !coreLibrary || !dotLibrary)
            return g;
        static lt_symlist_t plugins[] = {
            {"gvplugin_core_LTX_library", coreLibrary},
            {"gvplugin_dot_layout_LTX_library", dotLibrary},
            {nullptr, nullptr},
        };
        g.context = g.contextPlugins(plugins, 0);
        return g;
    }();
    return loaded.context ? &loaded : nullptr;
}

} // namespace

QByteArray graphvizSvg(const QByteArray &dot)
{
    const std::lock_guard<std::mutex> locked(graphvizLock());
    const Graphviz *const g = graphviz();
    if (!g)
        throw Failure(QStringLiteral("The diagram cannot be drawn: Graphviz's libraries and plugins are not in %1.")
                          .arg(QStringLiteral(ORVALLE_GRAPHVIZ_LIBS)));
    GVC_t *const gvc = g->context;
    graphvizMessages.clear();
    g->seterr(AGWARN);
    g->seterrf(collectMessage);
    Agraph_t *const graph = g->memread(dot.constData());
    if (!graph)
        throw Failure(QStringLiteral("The diagram cannot be drawn: Graphviz refused its source: %1")
                          .arg(graphvizMessages.trimmed()));
    QByteArray svg;
    const bool laidOut = g->layout(gvc, graph, "dot") == 0;
    if (laidOut) {
        char *data = nullptr;
        unsigned int length = 0;
        if (g->renderData(gvc, graph, "svg", &data, &length) == 0 && data)
            svg = QByteArray(data, qsizetype(length));
        g->freeRenderData(data);
        g->freeLayout(gvc, graph);
    }
    g->close(graph);
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
