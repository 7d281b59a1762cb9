import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material
import QtQuick.Layouts
import Kavrano.Platform

// Our feedback form: does the user enjoy the app? The host takes it down.
Item {
    id: root

    required property FeedbackFormViewController controller

    Rectangle {
        anchors.fill: parent
        color: Theme.dimming
        MouseArea { anchors.fill: parent }
    }

    Pane {
        objectName: "feedbackCard"
        anchors.centerIn: parent
        width: Math.min(parent.width - 48, 320)
        padding: 24
        background: Rectangle {
            radius: 16
            color: Theme.card
            border.color: Theme.cardBorder
        }

        ColumnLayout {
            width: parent.width
            spacing: 16

            Label {
                Layout.fillWidth: true
                text: "Do you enjoy " + root.controller.applicationName + "?"
                font.pixelSize: 20
                font.weight: Font.DemiBold
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.Wrap
                color: Theme.ink
            }
            Label {
                Layout.fillWidth: true
                text: "Your answer helps us make " + root.controller.applicationName + " better."
                font.pixelSize: 14
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.Wrap
                color: Theme.secondaryInk
            }
            Button {
                id: positiveButton
                objectName: "positiveButton"
                Layout.fillWidth: true
                Layout.preferredHeight: 52
                text: "Yes, I love it"
                highlighted: true
                Material.accent: Material.Blue
                Accessible.name: text
                font.capitalization: Font.MixedCase
                // Drawn here: the style's raised buttons need a GPU for their shadow.
                background: Rectangle {
                    radius: 10
                    color: positiveButton.highlighted ? (positiveButton.pressed ? Qt.darker(positiveButton.Material.accentColor, 1.2)
                                                  : positiveButton.Material.accentColor)
                                      : (positiveButton.pressed ? "#14000000" : "transparent")
                    opacity: positiveButton.enabled ? 1 : 0.4
                }
                onClicked: root.controller.answerPositive()
            }
            Button {
                id: negativeButton
                objectName: "negativeButton"
                Layout.fillWidth: true
                Layout.preferredHeight: 52
                text: "Not really"
                flat: true
                Accessible.name: text
                font.capitalization: Font.MixedCase
                // Drawn here: the style's raised buttons need a GPU for their shadow.
                background: Rectangle {
                    radius: 10
                    color: negativeButton.highlighted ? (negativeButton.pressed ? Qt.darker(negativeButton.Material.accentColor, 1.2)
                                                  : negativeButton.Material.accentColor)
                                      : (negativeButton.pressed ? "#14000000" : "transparent")
                    opacity: negativeButton.enabled ? 1 : 0.4
                }
                onClicked: root.controller.answerNegative()
            }
        }
    }
}
