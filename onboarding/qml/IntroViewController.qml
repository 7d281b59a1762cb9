pragma ComponentBehavior: Bound
import QtQuick
import Kavrano.Ui
import Kavrano.Platform
import Kavrano.Onboarding.Controllers

// The introduction: a white card on a dark night-sky background, holding the
// page's picture (still or moving), title and text, the page dots and the
// action button. Made at every start, so plain Qt Quick, and the card only once
// it is to be shown: later starts never show it.
Item {
    id: root

    required property IntroViewController controller

    Rectangle {
        anchors.fill: parent
        gradient: Gradient {
            GradientStop { position: 0; color: "#0d1b2a" }
            GradientStop { position: 1; color: "#1b3a34" }
        }
    }

    // A faint grid of survey lines: the product's subject, behind the card.
    // Repeaters of one, not loaders: Qt 6.4's loader makes its item in a context
    // of its own, where a bound component is refused.
    Repeater {
        model: root.controller.cardVisible ? 1 : 0
        delegate: Canvas {
            anchors.fill: parent
            opacity: 0.07
            Accessible.ignored: true
            onPaint: {
                const g = getContext("2d")
                g.strokeStyle = "white"
                g.lineWidth = 1
                for (let x = 0.5; x < width; x += 32) { g.beginPath(); g.moveTo(x, 0); g.lineTo(x, height); g.stroke() }
                for (let y = 0.5; y < height; y += 32) { g.beginPath(); g.moveTo(0, y); g.lineTo(width, y); g.stroke() }
            }
        }
    }

    Repeater {
        model: root.controller.cardVisible ? 1 : 0

        delegate: Component {
            Rectangle {
                id: card
                objectName: "cardView"
                anchors.centerIn: parent
                width: Math.min(root.width - 32, 420)
                height: content.implicitHeight + 48
                radius: 24
                color: "white"
                border.color: Qt.rgba(1, 1, 1, 0.6)

                Column {
                    id: content
                    anchors { left: parent.left; right: parent.right; top: parent.top; margins: 24 }
                    spacing: 16

                    Item {
                        id: imageContainer
                        objectName: "imageContainer"
                        width: parent.width
                        // The first page keeps its own height; turned pages set theirs.
                        height: root.controller.imageHeight > 0 ? root.controller.imageHeight : 200
                        Accessible.role: Accessible.Graphic
                        Accessible.name: root.controller.cardTitle
                        AnimatedImageItem {
                            objectName: "imageView"
                            anchors.fill: parent
                            radius: 14
                            image: root.controller.image
                        }
                    }

                    Text {
                        id: cardTitleLabel
                        objectName: "cardTitleLabel"
                        width: parent.width
                        text: root.controller.cardTitle
                        color: Theme.ink
                        font.pixelSize: 26
                        font.weight: Font.Bold
                        horizontalAlignment: Text.AlignHCenter
                        wrapMode: Text.WordWrap
                        Accessible.role: Accessible.StaticText
                        Accessible.name: text
                    }

                    Text {
                        id: cardDescriptionLabel
                        objectName: "cardDescriptionLabel"
                        width: parent.width
                        // Room for the longest text, so the card keeps its size between pages.
                        height: Math.max(implicitHeight, 4 * font.pixelSize * 1.35)
                        text: root.controller.cardDescription
                        color: "#48484a"
                        font.pixelSize: 16
                        lineHeight: 1.15
                        horizontalAlignment: Text.AlignHCenter
                        verticalAlignment: Text.AlignTop
                        wrapMode: Text.WordWrap
                        Accessible.role: Accessible.StaticText
                        Accessible.name: text
                    }

                    Row {
                        objectName: "pageDots"
                        anchors.horizontalCenter: parent.horizontalCenter
                        spacing: 8
                        Accessible.ignored: true
                        Repeater {
                            model: root.controller.pageCount
                            Rectangle {
                                required property int index
                                readonly property bool current: index === Math.min(root.controller.currentIndex,
                                                                                    root.controller.pageCount - 1)
                                width: current ? 22 : 8
                                height: 8
                                radius: 4
                                color: current ? Theme.accent : Theme.switchOff
                                Behavior on width { NumberAnimation { duration: 200 } }
                            }
                        }
                    }

                    PlainButton {
                        id: actionButton
                        objectName: "actionButton"
                        readonly property string text: root.controller.actionTitle !== ""
                                                       ? root.controller.actionTitle : "Continue"
                        width: parent.width
                        height: 52
                        enabled: root.controller.actionEnabled
                        Accessible.name: text
                        onClicked: root.controller.actionButtonTapped()

                        Rectangle {
                            anchors.fill: parent
                            radius: height / 2
                            color: actionButton.enabled ? Theme.accent : Theme.separator
                            opacity: actionButton.down ? 0.8 : 1
                            border.color: "white"
                            border.width: actionButton.activeFocus ? 2 : 0
                        }
                        Text {
                            anchors.fill: parent
                            text: actionButton.text
                            font.pixelSize: 17
                            font.weight: Font.DemiBold
                            color: "white"
                            horizontalAlignment: Text.AlignHCenter
                            verticalAlignment: Text.AlignVCenter
                            Accessible.ignored: true
                        }
                    }
                }
            }
        }
    }
}
