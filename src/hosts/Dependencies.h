#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace hv {

// Why a [Dependencies] line is ignored.
struct DependencyProblem {
    enum class Kind {
        UnknownDependent,  // the host left of "=" is not in the host list
        UnknownParent,     // the host right of "=" is not in the host list
        Itself,            // a host names itself
        Loop,              // following the parents comes back to the host
    };
    Kind kind = Kind::UnknownParent;
    QString dependent;
    QString parent;
    bool operator==(const DependencyProblem&) const = default;
};

// The [Dependencies] lines (dependent title, parent title) taken against a list of host titles:
// the parent's index per host (-1: a plain host) and the lines that had to be ignored, in line
// order. Titles match ignoring letter case, as the settings file matches its keys. The first
// line of a dependent counts; a host on a loop keeps no parent, so every host of the loop is
// checked as a plain host.
struct DependencyMap {
    QList<int> parents;  // one per title
    QList<DependencyProblem> problems;
};
DependencyMap resolveDependencies(const QStringList& titles,
                                  const QList<QPair<QString, QString>>& lines);

// Editing the lines as the host dialogs do; titles match ignoring letter case and surrounding
// blanks. The dependent's parent, empty when it has no line.
QString parentIn(const QList<QPair<QString, QString>>& lines, const QString& dependent);
// Sets the dependent's line (replacing its first one in place, or added at the end); an empty
// parent removes every line of the dependent.
void setParentIn(QList<QPair<QString, QString>>& lines, const QString& dependent,
                 const QString& parent);
// A host renamed: every line naming it, on either side, names the new title.
void renameIn(QList<QPair<QString, QString>>& lines, const QString& oldTitle,
              const QString& newTitle);
// A host deleted: every line naming it, on either side, goes.
void dropIn(QList<QPair<QString, QString>>& lines, const QString& title);

// One problem in English, for stderr: "hostvane: [Dependencies] ...".
QString dependencyProblemText(const DependencyProblem& problem);

}  // namespace hv
