// SPDX-License-Identifier: MIT
#include "app/PopoverHost.h"

#include "app/Startup.h"
#include "core/Log.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPluginLoader>

#include <algorithm>

namespace lexwick {

namespace {

constexpr auto libraryName = "lexwick-popover.so";

} // namespace

PopoverHost::PopoverHost(PopoverContext context, QObject* parent)
    : QObject(parent)
    , m_context(context)
{
}

PopoverHost::PopoverHost(PopoverContext context, PopoverFactory& factory, QObject* parent)
    : QObject(parent)
    , m_context(context)
    , m_factory(&factory)
{
}

PopoverHost::~PopoverHost() = default;

QStringList PopoverHost::libraryCandidates()
{
    // Beside the executable in the build tree; under the installation's library folder, found
    // from the executable's own folder so that a moved installation still finds it.
    const QDir here(QCoreApplication::applicationDirPath());
    return {here.filePath(QLatin1String(libraryName)),
            QDir::cleanPath(here.filePath(QStringLiteral(LEXWICK_POPOVER_DIR_FROM_BINDIR) +
                                          u'/' + QLatin1String(libraryName)))};
}

bool PopoverHost::load()
{
    if (m_popover)
        return true;
    if (m_loadFailed)
        return false;
    if (m_factory) {
        adopt(m_factory->create(m_context));
        return true;
    }
    m_loadFailed = true; // one attempt: a library that failed to load fails again
    const QStringList candidates = libraryCandidates();
    const auto found = std::ranges::find_if(
        candidates, [](const QString& path) { return QFileInfo::exists(path); });
    if (found == candidates.end()) {
        logCritical(lcPopover,
                    QStringLiteral("ERROR – popover library not found: ") + candidates.join(u", "));
        return false;
    }
    QPluginLoader loader(*found);
    // Every symbol resolved now: one the executable lacks fails the load here, with a message,
    // not the process at its first use.
    loader.setLoadHints(QLibrary::ResolveAllSymbolsHint);
    auto* factory = qobject_cast<PopoverFactory*>(loader.instance());
    if (!factory) {
        logCritical(lcPopover, QStringLiteral("ERROR – popover library: ") + loader.errorString());
        return false;
    }
    // The library stays loaded for the rest of the run, like the popover it made.
    m_loadFailed = false;
    adopt(factory->create(m_context));
    return true;
}

void PopoverHost::adopt(std::unique_ptr<Popover> popover)
{
    m_popover = std::move(popover);
    m_popover->setStandalone(m_standalone);
    connect(m_popover.get(), &Popover::quitRequested, this, &PopoverHost::quitRequested);
}

void PopoverHost::setStandalone(bool standalone)
{
    m_standalone = standalone;
    if (m_popover)
        m_popover->setStandalone(standalone);
}

bool PopoverHost::isVisible() const
{
    return m_popover && m_popover->isVisible();
}

void PopoverHost::hide()
{
    if (m_popover)
        m_popover->hide();
}

void PopoverHost::popUp(const QRect& anchor)
{
    const QString token = std::exchange(m_activationToken, QString());
    if (!load())
        return;
    applyActivationToken(token);
    m_popover->popUp(anchor);
    // A token the platform did not take (no activation protocol) is not left for a later one.
    if (!token.isEmpty())
        qunsetenv("XDG_ACTIVATION_TOKEN");
}

bool PopoverHost::hidBecauseOfDeactivationWithin(int ms) const
{
    return m_popover && m_popover->hidBecauseOfDeactivationWithin(ms);
}

} // namespace lexwick
