pragma ComponentBehavior: Bound
import QtQuick
import Kavrano.Platform

// The navigation stack: a bar (the top screen's title, a back button) over the
// screens. The bar's look: default background under a blur, a light grey hairline.
// Plain Qt Quick: the stack is on screen from the first frame, and no controls
// module is loaded before a screen that uses one is pushed. A focus scope: the
// keyboard given to the stack goes on to what its screen keeps focused.
FocusScope {
    id: root

    required property MainNavigationController controller

    // The controller owns the stack and its views; it names the views each
    // change concerns, and this only shows them: it slides them, hides the ones
    // covered or popped, and takes input from a view from the moment it goes.
    function pushView(item, covered, animated) {
        item.parent = stack
        item.width = Qt.binding(() => stack.width)
        item.height = Qt.binding(() => stack.height)
        item.x = 0
        item.visible = true
        item.enabled = true
        stack.show(item)
        if (!covered)
            return
        covered.enabled = false
        if (animated) {
            slide.run(item, covered, true)
        } else {
            slide.settle()
            covered.visible = false
        }
    }
    function popView(gone, uncovered, animated) {
        slide.settle()
        stack.show(uncovered)
        gone.enabled = false
        uncovered.visible = true
        uncovered.enabled = true
        if (animated) {
            slide.run(uncovered, gone, false)
        } else {
            uncovered.x = 0
            gone.visible = false
        }
    }

    Item {
        id: stack
        objectName: "stack"
        anchors.fill: parent
        anchors.topMargin: bar.visible ? bar.height * bar.shown : 0
        clip: true

        property Item currentItem: null
        property string currentTitle
        // Screens are views of several types; those with a title have it by this name.
        function show(screen) {
            stack.currentItem = screen
            stack.currentTitle = Qt.binding(() => screen.title !== undefined ? screen.title : "")
        }
        readonly property bool busy: slide.running
    }

    // While screens slide, a touch belongs to neither: the leaving one takes no
    // more input and the arriving one is not yet in place.
    MouseArea {
        objectName: "slideGuard"
        anchors.fill: stack
        enabled: slide.running
    }

    // A push slides the new screen in from the right over the old one, which
    // drifts a little to the left; a pop does the reverse.
    ParallelAnimation {
        id: slide

        property Item entering: null
        property Item leaving: null
        property bool forward: true

        // A change while one runs: the running one ends first, where it was going.
        function settle() {
            if (!slide.running)
                return
            slide.complete()
            slide.done()
        }
        function done() {
            if (slide.leaving)
                slide.leaving.visible = false
            slide.entering = null
            slide.leaving = null
            root.controller.transitionFinished()
        }
        function run(entering, leaving, forward) {
            slide.settle()
            slide.entering = entering
            slide.leaving = leaving
            slide.forward = forward
            enter.from = forward ? stack.width : -stack.width / 3
            leave.to = forward ? -stack.width / 3 : stack.width
            slide.start()
        }

        NumberAnimation { id: enter; target: slide.entering; property: "x"; to: 0; duration: 300; easing.type: Easing.OutCubic }
        NumberAnimation { id: leave; target: slide.leaving; property: "x"; from: 0; duration: 300; easing.type: Easing.OutCubic }

        onFinished: slide.done()
    }

    Rectangle {
        id: bar
        objectName: "navigationBar"
        width: parent.width
        height: Theme.barHeight
        // 1 shown, 0 hidden; slides when the screen asks for an animated change.
        property real shown: root.controller.navigationBarHidden ? 0 : 1
        y: -height * (1 - shown)
        visible: shown > 0
        Behavior on shown {
            enabled: root.controller.navigationBarAnimated
            NumberAnimation { duration: 200; easing.type: Easing.OutCubic }
        }
        color: Theme.bar

        // Made the first time a screen on the stack shows the bar: the measuring
        // screen, first on screen, hides it, and its texts would cost the first
        // frame two fonts. A repeater, not a loader: Qt 6.4's loader makes its item
        // in a context of its own, where a bound component is refused.
        Repeater {
            id: barContent
            // Kept once made: the first true ends the binding.
            property bool made: bar.visible && root.controller.depth > 0
            onMadeChanged: if (barContent.made) barContent.made = true
            Component.onCompleted: if (barContent.made) barContent.made = true
            model: barContent.made ? 1 : 0
            delegate: Item {
                width: bar.width
                height: bar.height
                Rectangle {
                    anchors { left: parent.left; right: parent.right; bottom: parent.bottom }
                    height: 1
                    color: Theme.hairline
                }

                PlainButton {
                    id: backButton
                    objectName: "backButton"
                    anchors { left: parent.left; top: parent.top; bottom: parent.bottom; leftMargin: 4 }
                    width: Math.max(64, backText.implicitWidth + 16)
                    visible: root.controller.depth > 1
                    readonly property string text: "Back"
                    Accessible.name: text   // the chevron is decoration
                    onClicked: root.controller.back()

                    Rectangle {
                        anchors.fill: parent
                        color: "transparent"
                        radius: 8
                        border.color: Theme.tint
                        border.width: backButton.activeFocus ? 2 : 0
                    }
                    Text {
                        id: backText
                        anchors.fill: parent
                        leftPadding: 4
                        text: "‹ " + backButton.text
                        font.pixelSize: 17
                        color: Theme.tint
                        opacity: backButton.down ? 0.5 : 1
                        verticalAlignment: Text.AlignVCenter
                        Accessible.ignored: true
                    }
                }
                Text {
                    objectName: "navigationTitle"
                    anchors.centerIn: parent
                    text: stack.currentTitle
                    textFormat: Text.PlainText
                    font.pixelSize: 17
                    font.weight: Font.DemiBold
                    color: Theme.ink
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                }
            }
        }
    }
}
