#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>

#include "platform/Dialogs.h"

namespace quorvel::test {

// Records every box and dialog and answers them as told; untold, a question is
// cancelled and the file dialogs and the input box give nothing.
class FakeDialogs : public platform::Dialogs {
  public:
    QStringList messages;
    QStringList questions;
    QStringList titles;        // of every message box and question, in order
    QStringList openRequests;  // "title|filter" of every file dialog
    QStringList inputs;        // "title|prompt" of every input box
    QStringList saveRequests;  // "title|path proposed" of every save dialog
    std::deque<bool> answers;
    QString chosenFile;
    QString savedFile;  // what the save dialog gives
    std::deque<QString> names;
    std::function<void()> whileAsked;  // done while a question is open, before its answer
    std::function<void()> whileShown;  // done while a message box is open

    void Message(QWidget*, const QString& text, const QString& title) override {
        messages << text;
        titles << title;
        if (whileShown) whileShown();
    }
    bool Question(QWidget*, const QString& text, const QString& title) override {
        questions << text;
        titles << title;
        if (whileAsked) whileAsked();
        if (answers.empty()) return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    QString OpenFileName(QWidget*, const QString& title, const QString& filter,
                         const QString&) override {
        openRequests << title + '|' + filter;
        return chosenFile;
    }
    QString SaveFileName(QWidget*, const QString& title, const QString&,
                         const QString& path) override {
        saveRequests << title + '|' + path;
        return savedFile;
    }
    QString InputText(QWidget*, const QString& prompt, const QString& title,
                      const QString&) override {
        inputs << title + '|' + prompt;
        if (names.empty()) return {};
        const QString name = names.front();
        names.pop_front();
        return name;
    }
};

}  // namespace quorvel::test
