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

// One problem in English, for stderr: "hostvane: [Dependencies] ...".
QString dependencyProblemText(const DependencyProblem& problem);

}  // namespace hv
