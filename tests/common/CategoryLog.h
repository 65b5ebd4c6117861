#ifndef CATEGORYLOG_H
#define CATEGORYLOG_H

#include <QString>
#include <QStringList>

// Turns on the debug lines of one logging category and keeps them while it lives, so a test
// can tell what a component did (a retry, a dropped connection). One at a time.
class CategoryLog
{
public:
    explicit CategoryLog(const char* category);
    ~CategoryLog();
    CategoryLog(const CategoryLog&) = delete;
    CategoryLog& operator=(const CategoryLog&) = delete;

    // The lines kept so far that contain text; safe while other threads log.
    QStringList linesWith(const QString& text) const;
};

#endif // CATEGORYLOG_H
