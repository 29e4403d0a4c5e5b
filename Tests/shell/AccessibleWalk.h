#pragma once

#include <QAccessible>
#include <QAccessibleInterface>
#include <QObject>
#include <QStringList>

/// Walks the accessible tree under `root` and lists every shown object a user can focus or
/// act on that has no name (its role, object name and the names of its parents).
inline QStringList namelessControls(QAccessibleInterface* root)
{
    QStringList found;
    struct Walker {
        QStringList& found;
        void visit(QAccessibleInterface* node, const QString& path, int depth)
        {
            if (!node || !node->isValid() || depth > 40)
                return;
            const QAccessible::State state = node->state();
            if (state.invisible)
                return;
            const bool actionable = node->actionInterface() && !node->actionInterface()->actionNames().isEmpty();
            const QString name = node->text(QAccessible::Name);
            const QString here = path + QLatin1Char('/') +
                                 (name.isEmpty() ? QStringLiteral("<%1 %2>")
                                                       .arg(int(node->role()), 0, 16)
                                                       .arg(node->object() ? node->object()->objectName() : QString())
                                                 : name);
            if ((state.focusable || actionable) && name.trimmed().isEmpty())
                found.append(here);
            // Item views name every item the same way; their first rows stand for the rest.
            const int children = node->tableInterface() ? qMin(node->childCount(), 60) : node->childCount();
            for (int i = 0; i < children; ++i)
                visit(node->child(i), here, depth + 1);
        }
    };
    Walker{found}.visit(root, QString(), 0);
    return found;
}

inline QStringList namelessControls(QObject* root)
{
    return namelessControls(QAccessible::queryAccessibleInterface(root));
}
