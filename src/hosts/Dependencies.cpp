#include "hosts/Dependencies.h"

#include <QHash>
#include <optional>

namespace hv {

DependencyMap resolveDependencies(const QStringList& titles,
                                  const QList<QPair<QString, QString>>& lines) {
    DependencyMap map;
    map.parents.fill(-1, titles.size());
    QHash<QString, int> indexOf;  // case-folded title -> its first host
    for (qsizetype i = titles.size() - 1; i >= 0; --i)
        indexOf.insert(titles[i].toCaseFolded(), static_cast<int>(i));

    QList<bool> named(titles.size(), false);  // a line for this dependent was taken already
    QList<int> lineOf(titles.size(), -1);     // the line that gave host k its parent
    QList<std::optional<DependencyProblem>> verdict(lines.size());
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const auto& [dependent, parent] = lines[n];
        const int d = indexOf.value(dependent.trimmed().toCaseFolded(), -1);
        const int p = indexOf.value(parent.trimmed().toCaseFolded(), -1);
        using enum DependencyProblem::Kind;
        if (d < 0) {
            verdict[n] = DependencyProblem{UnknownDependent, dependent, parent};
        } else if (p < 0) {
            verdict[n] = DependencyProblem{UnknownParent, dependent, parent};
        } else if (p == d) {
            verdict[n] = DependencyProblem{Itself, dependent, parent};
        } else if (!named[d]) {
            named[d] = true;
            map.parents[d] = p;
            lineOf[d] = static_cast<int>(n);
        }
    }

    // Each host has one parent at most, so a walk up either ends or runs into a loop. Every
    // host on a loop loses its parent; hosts that merely hang below a loop keep theirs.
    const qsizetype count = titles.size();
    QList<int> mark(count, 0);  // 0 unvisited, 1 on the current walk, 2 done
    for (qsizetype start = 0; start < count; ++start) {
        QList<int> walk;
        int k = static_cast<int>(start);
        while (k >= 0 && mark[k] == 0) {
            mark[k] = 1;
            walk.append(k);
            k = map.parents[k];
        }
        if (k >= 0 && mark[k] == 1) {
            for (qsizetype w = walk.indexOf(k); w < walk.size(); ++w) {
                const int h = walk[w];
                const int n = lineOf[h];
                verdict[n] = DependencyProblem{DependencyProblem::Kind::Loop, lines[n].first,
                                               lines[n].second};
            }
        }
        for (int h : walk) mark[h] = 2;
    }
    for (qsizetype n = 0; n < lines.size(); ++n) {
        if (!verdict[n]) continue;
        if (verdict[n]->kind == DependencyProblem::Kind::Loop) {
            const int d = indexOf.value(lines[n].first.trimmed().toCaseFolded(), -1);
            if (d >= 0) map.parents[d] = -1;
        }
        map.problems.append(*verdict[n]);
    }
    return map;
}

namespace {

bool sameTitle(const QString& a, const QString& b) {
    return a.trimmed().compare(b.trimmed(), Qt::CaseInsensitive) == 0;
}

}  // namespace

QString parentIn(const QList<QPair<QString, QString>>& lines, const QString& dependent) {
    for (const auto& [d, p] : lines)
        if (sameTitle(d, dependent)) return p;
    return {};
}

void setParentIn(QList<QPair<QString, QString>>& lines, const QString& dependent,
                 const QString& parent) {
    if (parent.trimmed().isEmpty()) {
        lines.removeIf(
            [&](const QPair<QString, QString>& l) { return sameTitle(l.first, dependent); });
        return;
    }
    for (auto& line : lines) {
        if (sameTitle(line.first, dependent)) {
            line = {dependent, parent};
            return;
        }
    }
    lines.append({dependent, parent});
}

void renameIn(QList<QPair<QString, QString>>& lines, const QString& oldTitle,
              const QString& newTitle) {
    for (auto& [d, p] : lines) {
        if (sameTitle(d, oldTitle)) d = newTitle;
        if (sameTitle(p, oldTitle)) p = newTitle;
    }
}

void dropIn(QList<QPair<QString, QString>>& lines, const QString& title) {
    lines.removeIf([&](const QPair<QString, QString>& l) {
        return sameTitle(l.first, title) || sameTitle(l.second, title);
    });
}

QString dependencyProblemText(const DependencyProblem& problem) {
    using enum DependencyProblem::Kind;
    QString why;
    switch (problem.kind) {
        case UnknownDependent:
            why = QStringLiteral("\"%1\" is not a host of the list").arg(problem.dependent);
            break;
        case UnknownParent:
            why = QStringLiteral("\"%1\" is not a host of the list").arg(problem.parent);
            break;
        case Itself:
            why = QStringLiteral("\"%1\" names itself").arg(problem.dependent);
            break;
        case Loop:
            why = QStringLiteral("\"%1\" depends on itself through a loop").arg(problem.dependent);
            break;
    }
    return QStringLiteral(
               "hostvane: [Dependencies] %1=%2 is ignored: %3; \"%1\" is checked as "
               "a plain host")
        .arg(problem.dependent, problem.parent, why);
}

}  // namespace hv
