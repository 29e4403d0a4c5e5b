#include "pluginlist/SearchBar.h"

#include "widgets/AppTheme.h"
#include "widgets/GlassStyle.h"
#include "widgets/Styles.h"
#include "widgets/SymbolIcons.h"
#include "widgets/Typography.h"

#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

SearchBar::SearchBar(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("searchBar"));
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(20, 12, 20, 12);

    auto* card = new GlassSurface(this);
    card->setKind(GlassSurface::Kind::card);
    card->setCornerRadius(12);
    outer->addWidget(card);

    auto* row = new QHBoxLayout(card);
    row->setContentsMargins(16, 12, 16, 12);
    row->setSpacing(12);

    m_icon = new QLabel(card);
    m_icon->setFixedWidth(20);
    m_icon->setAlignment(Qt::AlignCenter);
    m_icon->setPixmap(
        SymbolIcons::pixmap(QStringLiteral("magnifyingglass"), 15, AppTheme::textTertiary(), devicePixelRatioF()));
    auto* glow = new QGraphicsDropShadowEffect(m_icon);
    glow->setColor(AppTheme::glassGlow());
    glow->setBlurRadius(6);
    glow->setOffset(0, 1);
    m_icon->setGraphicsEffect(glow);

    m_field = new QLineEdit(card);
    m_field->setObjectName(QStringLiteral("searchField"));
    m_field->setAccessibleName(QStringLiteral("Search plugins"));
    m_field->setPlaceholderText(QStringLiteral("Search plugins..."));
    m_field->setFrame(false);
    m_field->setAttribute(Qt::WA_MacShowFocusRect, false);
    m_field->setStyleSheet(Styles::transparentField(true));
    Styles::setTextColor(m_field, AppTheme::textPrimary());

    m_clear = new QPushButton(QStringLiteral("Clear"), card);
    m_clear->setObjectName(QStringLiteral("searchClearButton"));
    m_clear->setAccessibleName(QStringLiteral("Clear"));
    m_clear->setFlat(true);
    m_clear->setCursor(Qt::PointingHandCursor);
    m_clear->setFont(Typography::listCaption());
    Styles::setTextColor(m_clear, AppTheme::textTertiary());
    // Hidden, Clear keeps its room: the header keeps one height while typing starts and ends.
    QSizePolicy clearPolicy = m_clear->sizePolicy();
    clearPolicy.setRetainSizeWhenHidden(true);
    m_clear->setSizePolicy(clearPolicy);
    m_clear->hide();

    row->addWidget(m_icon);
    row->addWidget(m_field, 1);
    row->addWidget(m_clear);

    connect(m_field, &QLineEdit::textEdited, this, [this](const QString& text) {
        updateClear();
        Q_EMIT textEdited(text);
    });
    connect(m_clear, &QPushButton::clicked, this, [this] {
        m_field->clear();
        updateClear();
        Q_EMIT textEdited(QString());
    });
}

QString SearchBar::text() const
{
    return m_field->text();
}

void SearchBar::setText(const QString& text)
{
    if (m_field->text() != text)
        m_field->setText(text);
    updateClear();
}

void SearchBar::updateClear()
{
    // Emptiness is the only test: a text of spaces keeps Clear.
    m_clear->setVisible(!m_field->text().isEmpty());
}
