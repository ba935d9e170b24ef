#pragma once

#include "viewer/base_highlighter.h"

// XML: tags, attributes with their values, entity references and <!-- --> comments.
class XML_HIGHLIGHTER : public BASE_HIGHLIGHTER
{
    Q_OBJECT

public:
    explicit XML_HIGHLIGHTER(QTextDocument* parent);
    ~XML_HIGHLIGHTER() override;
};
