\version "2.24.0"
\paper { indent = 0 line-width = 160\mm ragged-right = ##t }
\header { tagline = ##f }
\relative c' {
  \time 4/4
  \stemUp d4-. e-. f-. g-. a-. b-. c-. d-. |
  \stemDown g4-. f-. e-. d-. c-. b-. a-. g-. | \break
  \stemUp d4-^ e-^ f-^ g-^ a-^ b-^ c-^ d-^ |
  \stemDown g4-^ f-^ e-^ d-^ c-^ b-^ a-^ g-^ | \break
  \stemUp d4-> e-> f-> g-> a-> b-> c-> d-> |
  \stemDown g4-> f-> e-> d-> c-> b-> a-> g-> |
}
