#pragma once
// Prompts that answer from a script and remember what they were asked and
// told, in place of modal dialogs.
#include "widgets/prompts.h"

#include <QList>
#include <QStringList>

namespace zel::test {

class RecordingPrompts : public Prompts {
public:
    enum class Kind { Question, Critical, Warning, Information };
    struct Seen {
        Kind kind;
        QString text, title, detail;
    };

    QList<Seen> seen;      // every question and message, in order
    QStringList questions; // the texts of the questions
    QStringList messages;  // the texts of the messages of every kind
    // The answers to the next questions; `answer` when none is left.
    QList<Answer> answers;
    Answer answer = Answer::No;
    // The name every save dialog gives back ("" is Cancel), and what the
    // dialogs offered.
    QString fileName;
    QList<SaveFileQuestion> fileQuestions;
    // The line of text a text question gives back (nothing is Cancel), and
    // the texts it offered.
    std::optional<QString> typed;
    QStringList offeredTexts;
    // The probe the probe dialog gives back (nothing is Cancel), and how
    // often it was shown.
    std::optional<ProbeChoice> probeChoice;
    int probeQuestions = 0;

    const Seen* last() const { return seen.isEmpty() ? nullptr : &seen.last(); }

    Answer ask(QWidget*, const QString& text, const QString& title, bool) override {
        seen.append({Kind::Question, text, title, {}});
        questions << text;
        return answers.isEmpty() ? answer : answers.takeFirst();
    }
    void critical(QWidget*, const QString& text, const QString& title,
                  const QString& detail) override {
        tell(Kind::Critical, text, title, detail);
    }
    void warning(QWidget*, const QString& text, const QString& title) override {
        tell(Kind::Warning, text, title, {});
    }
    void information(QWidget*, const QString& text, const QString& title) override {
        tell(Kind::Information, text, title, {});
    }
    QString saveFileName(QWidget*, const SaveFileQuestion& question) override {
        fileQuestions << question;
        return fileName;
    }
    std::optional<QString> text(QWidget*, const QString&, const QString&,
                                const QString& current) override {
        offeredTexts << current;
        return typed;
    }
    std::optional<ProbeChoice> probe(QWidget*) override {
        ++probeQuestions;
        return probeChoice;
    }

private:
    void tell(Kind kind, const QString& text, const QString& title, const QString& detail) {
        seen.append({kind, text, title, detail});
        messages << text;
    }
};

} // namespace zel::test
