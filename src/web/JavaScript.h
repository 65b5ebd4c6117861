#ifndef JAVASCRIPT_H
#define JAVASCRIPT_H

#include <QString>
#include <QStringList>

// Builds scripts for the portal page from text that may come from anywhere (file names,
// for instance), so that it always arrives as data and never as code.
namespace JavaScript {
// A double-quoted JavaScript string literal whose value is exactly text.
QString stringLiteral(const QString& text);
// "function(arg1,arg2,...)" with every argument passed as a string literal.
QString call(const QString& function, const QStringList& arguments);
} // namespace JavaScript

#endif // JAVASCRIPT_H
