#pragma once

#include <QString>

class QWidget;

namespace cms {
class ContentManager;
}

namespace utilities {

// "Clean 'Recent Documents'": drops the entries of the device's recent
// documents list whose file is gone, and the older entries of a file listed
// more than once.
void cleanDocs(QWidget* window);

struct CleanResult
{
    int total = 0;
    int removed = 0;
    // Set when the database refused a change; the cleaning stopped there.
    QString error;
};

// Cleans the list in an open content database; with flashOnly, entries
// outside the internal flash are left alone.
CleanResult cleanRecentDocuments(cms::ContentManager& manager, bool flashOnly);

} // namespace utilities
