#pragma once
// A PDF turned into pictures by the system's own PDF renderer (pdftoppm), so
// that tests look at a printout the way a reader does.
#include <QImage>
#include <QString>

#include <vector>

// Whether pdftoppm is installed.
bool HavePdfRenderer();
// Every page of `pdf` rendered at `dpi`; empty when it could not be rendered.
std::vector<QImage> RenderPdf(const QString& pdf, int dpi);
