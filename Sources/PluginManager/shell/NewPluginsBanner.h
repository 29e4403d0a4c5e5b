#pragma once

#include <QWidget>

class ElidedLabel;
class NewPluginsOffer;
class QPushButton;

/// The orange band announcing newly installed plug-ins, with "Add to Profiles" and a dismiss cross.
class NewPluginsBanner final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NewPluginsBanner)
public:
    static constexpr auto kDismissHelp =
        "Dismiss — these plugins won't be added to profiles. Applying a profile may disable them.";

    explicit NewPluginsBanner(NewPluginsOffer& offer, QWidget* parent = nullptr);

    QString text() const;
    QPushButton* addButton() const { return m_add; }
    QPushButton* dismissButton() const { return m_dismiss; }

private:
    void refresh();

    NewPluginsOffer& m_offer;
    ElidedLabel* m_text = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_dismiss = nullptr;
};
