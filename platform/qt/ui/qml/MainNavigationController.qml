import QtQuick
import QtQuick.Templates as T

// The navigation stack: a bar (the top screen's title, a back button) over the
// screens. The bar's look: default background under a blur, a light grey hairline.
// Built on the bare templates: the stack is on screen from the first frame, and
// the styled controls are loaded only when a screen that uses them is pushed.
Item {
    id: root

    required property QtObject controller   // MainNavigationController

    readonly property color tint: "#1e88e5"

    function pushView(item, animated) {
        stack.push(item, {}, animated ? T.StackView.PushTransition : T.StackView.Immediate)
    }
    function popView(animated) {
        stack.pop(animated ? T.StackView.PopTransition : T.StackView.Immediate)
    }

    T.StackView {
        id: stack
        objectName: "stack"
        anchors.fill: parent
        anchors.topMargin: bar.visible ? bar.height * bar.shown : 0
        clip: true
        onBusyChanged: if (!busy) root.controller.transitionFinished()

        // A push slides the new screen in from the right over the old one,
        // which drifts a little to the left; a pop does the reverse.
        pushEnter: Transition {
            XAnimator { from: stack.width; to: 0; duration: 300; easing.type: Easing.OutCubic }
        }
        pushExit: Transition {
            XAnimator { from: 0; to: -stack.width / 3; duration: 300; easing.type: Easing.OutCubic }
        }
        popEnter: Transition {
            XAnimator { from: -stack.width / 3; to: 0; duration: 300; easing.type: Easing.OutCubic }
        }
        popExit: Transition {
            XAnimator { from: 0; to: stack.width; duration: 300; easing.type: Easing.OutCubic }
        }
    }

    Rectangle {
        id: bar
        objectName: "navigationBar"
        width: parent.width
        height: 52
        // 1 shown, 0 hidden; slides when the screen asks for an animated change.
        property real shown: root.controller.navigationBarHidden ? 0 : 1
        y: -height * (1 - shown)
        visible: shown > 0
        Behavior on shown {
            enabled: root.controller.navigationBarAnimated
            NumberAnimation { duration: 200; easing.type: Easing.OutCubic }
        }
        color: Qt.rgba(0.97, 0.97, 0.98, 0.94)

        Rectangle {
            anchors { left: parent.left; right: parent.right; bottom: parent.bottom }
            height: 1
            color: Qt.rgba(2 / 3, 2 / 3, 2 / 3, 0.5)
        }

        T.AbstractButton {
            id: backButton
            objectName: "backButton"
            anchors { left: parent.left; top: parent.top; bottom: parent.bottom; leftMargin: 4 }
            width: Math.max(64, backText.implicitWidth + 16)
            visible: root.controller.depth > 1
            focusPolicy: Qt.TabFocus
            Accessible.role: Accessible.Button
            Accessible.name: "Back"
            Accessible.onPressAction: clicked()
            onClicked: root.controller.back()
            contentItem: Text {
                id: backText
                text: "‹ Back"
                font.pixelSize: 17
                color: root.tint
                opacity: backButton.down ? 0.5 : 1
                verticalAlignment: Text.AlignVCenter
                leftPadding: 4
            }
            background: Rectangle {
                color: "transparent"
                radius: 8
                border.color: root.tint
                border.width: backButton.visualFocus ? 2 : 0
            }
        }
        Text {
            objectName: "navigationTitle"
            anchors.centerIn: parent
            text: stack.currentItem && stack.currentItem.title !== undefined ? stack.currentItem.title : ""
            font.pixelSize: 17
            font.weight: Font.DemiBold
            color: "#1c1c1e"
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }
    }
}
