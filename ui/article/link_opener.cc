#include "ui/article/link_opener.h"

#include <QDesktopServices>

#include "platform/trace.h"
#include "ui/frame/tr.h"

namespace wrenly::ui {
namespace {

LinkOpener& Opener() {
  static LinkOpener opener;
  return opener;
}

}  // namespace

void SetLinkOpener(LinkOpener opener) { Opener() = std::move(opener); }

bool OpenLink(const QString& link) {
  QString text = link.trimmed();
  text.replace(QStringLiteral("hxxp://"), QStringLiteral("http://"), Qt::CaseInsensitive);
  const QUrl url(text, QUrl::TolerantMode);
  const QString scheme = url.scheme().toLower();
  if (!url.isValid() || (scheme != u"http" && scheme != u"https") || url.host().isEmpty()) {
    Trace(u"A link that is not http or https was not opened: " + ToU16(link) + u"\n");
    return false;
  }
  if (Opener())
    Opener()(url);
  else
    QDesktopServices::openUrl(url);
  return true;
}

}  // namespace wrenly::ui
